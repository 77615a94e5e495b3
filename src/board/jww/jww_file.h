// Jw_cad drawings (JWW files): reading one, and writing it back with nothing lost and what the
// board added appended as Jw_cad records in the file's own version.
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
#include <utility>
#include <vector>

#include "base/file_bytes.h"
#include "board/jww/jww_archive.h"
#include "board/jww/jww_shapes.h"
#include "board/model/document.h"
#include "board/model/drawing_content.h"
#include "board/model/underlay.h"

namespace pelimator::board {

// Every JWW file starts with these 8 bytes, then its version as a DWORD.
inline constexpr std::string_view kJwwSignature = "JwwData.";
// Whether bytes are a JWW file (by content, whatever the file's extension).
[[nodiscard]] bool IsJwwBytes(std::string_view bytes) noexcept;
// Whether bytes are too short for a JWW file's first 12 bytes (signature and version) yet begin
// as one does: a JWW file cut there, which the reader names as such.
[[nodiscard]] bool IsCutJwwBytes(std::string_view bytes) noexcept;
// The same for a file on disk (false when it cannot be read).
[[nodiscard]] bool IsJwwFile(const std::string& path);

// The pen and layer a new entity gets.
inline constexpr std::uint16_t kJwwNewPenColour = 2;  // Jw_cad's pen 2 (black on white)
inline constexpr std::uint8_t kJwwNewPenStyle = 1;    // solid

// A tag of the part after the entity list (block definitions and what follows), which a save
// renumbers when it adds entities.
struct JwwTag {
    std::uint32_t at = 0;   // byte offset of the tag
    std::uint8_t size = 2;  // its bytes as stored: 2, or 6 in the long form
    jww::TagKind kind = jww::TagKind::Null;
    std::uint32_t index = 0;    // a reference's target as read
    std::uint16_t classId = 0;  // NewClass: into JwwSource::classNames
    std::uint32_t end = 0;      // NewClass: offset past the class name
};

// A record of the entity list as read: where its tag and its fields lie, and its class.
struct JwwRecord {
    std::uint32_t at = 0;    // its tag
    std::uint32_t body = 0;  // its fields: past the tag (and the class name of a new class)
    std::uint32_t end = 0;   // past its fields
    jww::TagKind tag = jww::TagKind::Null;  // Null and ObjectRef have no fields
    std::uint16_t classId = 0;              // into JwwSource::classNames
    std::uint32_t object = 0;               // its map index (ObjectRef: the one it names)
    bool nested = false;  // its fields hold objects of their own (a block definition)
};

// What is kept of an opened JWW file so that a save writes it back with nothing lost.
class JwwSource final : public DocumentSource {
public:
    std::string fileName;
    FileBytes bytes;  // the whole file as read
    jww::Header header;
    std::size_t entityCountAt = 0;   // the entity list's count
    std::size_t entityCountEnd = 0;  // its first entity
    std::uint32_t entityCount = 0;
    std::size_t entitiesEnd = 0;          // past the last entity: where new ones go
    std::uint32_t mapCount = 1;           // the archive's next map index there
    std::uint16_t schema = 0;             // the schema the file's classes carry
    std::vector<std::string> classNames;  // the classes seen, in order
    // Map index of each class stored before entitiesEnd, by classNames index (0: not yet).
    std::vector<std::uint32_t> classIndex;
    // Every class stored before entitiesEnd: (map index, classNames index), by index.
    std::vector<std::pair<std::uint32_t, std::uint16_t>> listClasses;
    std::vector<JwwTag> tailTags;             // tags after entitiesEnd, in order
    std::vector<std::uint64_t> entityPrint;   // one per board entity read
    std::vector<JwwRecord> records;           // the entity list's, in order; keyed by index
    std::vector<std::uint32_t> entityRecord;  // the record of each board entity read
    std::vector<std::uint32_t> entityColour;  // see OwnColours
    // Pen style (low byte) and pen colour (high bits) of each board entity read.
    std::vector<std::uint32_t> entityPen;
    // The line type of each board entity read: kSolidLine or an index into dashPatterns (paper
    // mm, see jww::PenDashes).
    std::vector<std::uint32_t> entityDash;
    std::vector<std::vector<double>> dashPatterns;
    bool converted = false;  // a new file made for a drawing read from elsewhere

    [[nodiscard]] std::span<const std::uint32_t> OwnColours() const override {
        return entityColour;
    }
    [[nodiscard]] std::string Damage() const override { return bytes.Damage(); }
    [[nodiscard]] std::string FilePath() const override { return bytes.Path(); }
    [[nodiscard]] std::optional<std::size_t> RecordOf(std::size_t entity) const override {
        if (entity >= entityRecord.size()) return std::nullopt;
        return entityRecord[entity];
    }
    [[nodiscard]] std::span<const std::uint32_t> EntityRecords() const override {
        return entityRecord;
    }
    // Jw_cad's name of the record's kind (線, 円弧, 文字, ...).
    [[nodiscard]] std::string RecordKind(std::uint32_t record) const override;
    [[nodiscard]] std::string PlacementRefusal(std::uint32_t record) const override;
    // The record's class name as stored ("CDataSen"); "" for a reference or a null record.
    [[nodiscard]] std::string_view ClassOf(std::uint32_t record) const;
    [[nodiscard]] std::span<const std::uint32_t> EntityDashes() const override {
        return entityDash;
    }
    [[nodiscard]] std::span<const std::vector<double>> DashPatterns() const override {
        return dashPatterns;
    }
    // The board shows a JWW drawing as Jw_cad lays it on the paper: its units are the file's own,
    // paper millimetres (図寸), whatever each layer group's scale; a group of scale 1:N makes
    // them mean N times as much in real size. GroupScale is that N (1 when the file's is not a
    // number from 10^-6 to 10^9); RealPerPaper gives it for a board layer (the write group's
    // for a number outside 0-255, where GroupAndLayer puts such an entity).
    [[nodiscard]] double GroupScale(std::size_t group) const;
    [[nodiscard]] std::optional<double> RealPerPaper(std::int32_t layer) const override;
    [[nodiscard]] PenNames EntityPenNames(std::size_t entity) const override;
    // The paper of the header (A0-A4 lying landscape, centred on the origin, in paper mm);
    // none for Jw_cad's larger papers (2A and up).
    [[nodiscard]] std::optional<Box> Paper() const override;
    // The layer a new entity goes on for board layer number (the layer itself for 0-255,
    // else the write group's write layer).
    [[nodiscard]] std::pair<std::uint16_t, std::uint16_t> GroupAndLayer(std::int32_t number) const;
    // The board layer new drawing goes on at first: the write group's write layer.
    [[nodiscard]] std::int32_t WriteLayer() const;
};

// What opening a JWW file did, for the status bar.
struct JwwOpenReport {
    std::uint32_t version = 0;
    std::size_t lines = 0;
    std::size_t arcs = 0;
    std::map<std::string, std::size_t> shownKinds;  // what the underlay shows, by Japanese name
    std::size_t blocks = 0;
    // Entities of the list not shown, or shown in part, because what is drawn beneath reached
    // its work limit (workLimit units, see jww_underlay.h).
    std::size_t leftOut = 0;
    std::size_t workLimit = 0;
    [[nodiscard]] std::string Summary() const;
    // What the work limit left out, as a sentence ("表示の作業量が上限 ..."); empty when nothing.
    [[nodiscard]] std::string LeftOutText() const;
};

// How a JWW file is read.
struct JwwReadOptions {
    // Build what the file shows beneath the board's lines (JwwReadResult::underlay); a caller
    // that never shows the drawing leaves it out.
    bool underlay = true;
    // Set by another thread to give the read up: it then raises Cancelled soon.
    const std::atomic<bool>* cancel = nullptr;
    // The memory the read may take, in bytes; 0: what the machine gives (ReadMemoryBudget).
    std::uint64_t memoryBudget = 0;
};

struct JwwReadResult {
    DrawingContent content;
    JwwOpenReport report;
    std::shared_ptr<JwwSource> source;
    std::shared_ptr<Underlay> underlay;  // null when nothing else is shown
    std::int32_t currentLayer = 0;       // the file's write layer
    // What the underlay was built from: the entity list's shapes the board did not take as
    // lines and arcs (a dimension's parts one by one), and the block definitions.
    std::vector<jww::Shape> shapes;
    std::vector<jww::Block> blocks;
};

// Coordinates and sizes beyond this are refused as damaged data.
inline constexpr double kJwwMaxCoordinate = 1e12;

// Reads a JWW drawing (versions 230 to 700 as described by Jw_cad's author): the 256 layers
// (group × 16 + layer) with their names and states, lines and circular arcs as board entities,
// everything else (elliptic arcs, points, text, solids, dimensions, block inserts) shown
// beneath. Anything malformed or truncated raises FileError naming fileName and the offset; so
// does a file whose reading would take more memory than the machine gives it (both figures
// named), judged from what the part read so far cost before the rest is allocated.
[[nodiscard]] JwwReadResult ReadJwwBytes(FileBytes bytes, const std::string& fileName,
                                         const JwwReadOptions& options = {});
[[nodiscard]] JwwReadResult ReadJwwFile(const std::string& path,
                                        const JwwReadOptions& options = {});

// What saving state over source cannot write back, one Japanese sentence per item.
[[nodiscard]] std::vector<std::string> JwwSaveLosses(const JwwSource& source,
                                                     const DrawingState& state);
// How many kinds of what JwwSaveLosses lists are edits of the drawing that the saved file will
// not hold (0: the file holds everything the drawing shows); a save with any of them leaves the
// drawing modified.
[[nodiscard]] std::size_t JwwUnkeptEdits(const JwwSource& source, const DrawingState& state);
// The file's bytes with state's new entities appended (renumbering the archive's map after
// them) and a changed scale written into the current layer's group.
[[nodiscard]] std::string SavedJwwBytes(const JwwSource& source, const DrawingState& state);
// The same written to path atomically; FileError when it cannot be written.
void WriteJww(const std::string& path, const JwwSource& source, const DrawingState& state);

// The board's layer table of a JWW header: all 256 layers, number group × 16 + layer, named as
// Jw_cad shows them ("0-1" in hex, then the layer's name), shown when layer and group are.
[[nodiscard]] std::vector<LayerData> JwwLayerTable(const jww::Header& header);

// A Jw_cad group scale (1:scale) as Numerator:Denominator (0.5 is 2:1); none when it is not a
// number from 10^-6 to 10^9.
[[nodiscard]] std::optional<std::pair<std::int32_t, std::int32_t>> JwwScaleRatio(double scale);

// A new empty drawing in JWW version 700: layers 0-255 named after layers' names, every group at
// scale 1:scale, group 0 layer 0 the write layer.
[[nodiscard]] std::string NewJwwBytes(std::span<const LayerData> layers, double scale);

// A fingerprint of everything a board entity holds.
[[nodiscard]] std::uint64_t JwwEntityPrint(const EntityData& entity) noexcept;

}  // namespace pelimator::board
