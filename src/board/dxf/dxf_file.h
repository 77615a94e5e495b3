// Drawings as DXF files: their plain content, reading it from DXF text and writing it out.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "board/dxf/dxf_source.h"
#include "board/model/drawing_content.h"
#include "board/model/entity.h"
#include "board/model/layers.h"
#include "board/model/underlay.h"
#include "board/model/units.h"

namespace pelimator::board {

// What opening a file did, for the status bar.
struct DxfOpenReport {
    std::size_t lines = 0;    // lines taken, polyline segments included
    std::size_t arcs = 0;     // arcs taken: arcs, circles and bulged polyline segments
    std::size_t skipped = 0;  // drawing entities passed over
    std::map<std::string, std::size_t> skippedKinds;  // the same, by DXF entity type
    // Of those, what the underlay shows (model-space records by type, attributes with their
    // inserts).
    std::map<std::string, std::size_t> beneathKinds;
    std::string version;  // $ACADVER
    // Set when the file named no code page and its text was taken as Shift-JIS (or ANSI).
    std::string guessedCodePage;
    bool paperSpace = false;  // the file has paper-space layouts (kept, not shown)
    // A $INSUNITS number no unit has: the drawing is taken as having no unit (millimetres).
    std::optional<std::int64_t> unknownUnit;
    // Model-space records not shown, or shown only in part, because what is drawn beneath
    // reached its work limit (workLimit units; see dxf_underlay.h), by DXF entity type.
    std::map<std::string, std::size_t> leftOutKinds;
    std::size_t workLimit = 0;
    // Closing records the file lacks and every save adds, one Japanese sentence each
    // ("12 行目: ...").
    std::vector<std::string> repairs;
    // "線 12 本、円弧 3 本を読み込みました" with " (表示しない図形 2 個: IMAGE 2。保存時はそのまま
    // 残します)" when some are not shown, what is shown beneath, what the work limit left out,
    // paper space, a note on a guessed code page and the repairs.
    [[nodiscard]] std::string Summary() const;
    // What the work limit left out, as a sentence ("表示の作業量が上限 ..."); empty when nothing.
    [[nodiscard]] std::string LeftOutText() const;
};

struct DxfReadResult {
    DrawingContent content;
    DxfOpenReport report;
    std::shared_ptr<DxfSource> source;   // what a save writes back
    std::shared_ptr<Underlay> underlay;  // what else model space draws; null when nothing
};

// Coordinates and radii beyond this size are refused as damaged data.
inline constexpr double kDxfMaxCoordinate = 1e12;
// The custom drawing property that holds the exact scale as "Numerator:Denominator".
inline constexpr const char* kDxfScaleProperty = "PelimatorScale";

// The application name of Pelimator's extended data (layer number 1071, board name 1000).
inline constexpr const char* kDxfAppName = "PELIMATOR";
// Under it, a text's Jw_cad text kind (文字種): 1000 this, then 1070 the kind.
inline constexpr const char* kDxfJwwTextKind = "JwwTextKind";

// How a file is read.
struct DxfReadOptions {
    // Build what the file shows beneath the board's lines (DxfReadResult::underlay). A caller
    // that never shows the drawing (the batch when it makes no picture) leaves it out.
    bool underlay = true;
    // Set by another thread to give the read up: it then raises Cancelled soon (after at most
    // some megabytes more).
    const std::atomic<bool>* cancel = nullptr;
};

// Reads a drawing from DXF bytes (ASCII or binary, AC1009 to AC1032). Model-space LINE, ARC,
// CIRCLE, LWPOLYLINE and 2-D POLYLINE (straight and bulged segments) become lines and arcs; every
// other entity is kept in the source unshown and counted in the report. Anything malformed,
// truncated or out of range raises FileError naming fileName and the line; nothing partial is
// returned. The structure is checked before it is trusted: an EOF inside a section with more
// data after it, and a POLYLINE (or an INSERT with attributes) whose SEQEND is missing before
// another record, are refused; a section left without its ENDSEC (before the next section or the
// final EOF) and a sequence left open at the end of ENTITIES are taken as closed there, as
// ezdxf's recovery takes them, and the report's repairs say so.
[[nodiscard]] DxfReadResult ReadDxfBytes(FileBytes bytes, const std::string& fileName,
                                         const DxfReadOptions& options = {});
[[nodiscard]] DxfReadResult ReadDxfText(std::string_view text, const std::string& fileName);
// The same for a file on disk.
[[nodiscard]] DxfReadResult ReadDxfFile(const std::string& path,
                                        const DxfReadOptions& options = {});

// The built-in empty drawing (AutoCAD 2007, UTF-8) that new drawings are saved from.
[[nodiscard]] std::shared_ptr<const DxfSource> NewDrawingSource();

// What saving state over source could not write back, one Japanese sentence per item (empty:
// nothing is lost).
[[nodiscard]] std::vector<std::string> DxfSaveLosses(const DxfSource& source,
                                                     const DrawingState& state);

// Writes source back with state's changes: the file's records as their very bytes, changed
// layers and header values patched, new layers and entities added with fresh handles, in the
// file's version, form and code page, and the closing records the file lacked (see
// ReadDxfBytes) added. New records go only where the structure is closed: a table whose ENDTAB
// is missing gets none, and the save is refused. Through a temporary file beside path that
// replaces path only when complete; FileError when it cannot be written (the old file is then
// untouched).
void WriteDxf(const std::string& path, const DxfSource& source, const DrawingState& state);

// What WriteDxf writes, as bytes (for checks; no file is touched).
[[nodiscard]] std::string SavedDxfBytes(const DxfSource& source, const DrawingState& state);

// Writes content as a new drawing (AutoCAD 2007 format, UTF-8), as WriteDxf over
// NewDrawingSource().
void WriteDxfFile(const std::string& path, const DrawingContent& content);

}  // namespace pelimator::board
