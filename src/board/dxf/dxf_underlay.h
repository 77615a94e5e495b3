// The underlay of an opened DXF file: what model space draws besides the lines and arcs the
// board takes, built from the kept records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "board/dxf/dxf_source.h"
#include "board/model/underlay.h"

namespace pelimator::board {

// Where the reader found what the underlay is built from, as record indexes into
// source.records.
struct DxfUnderlayRecords {
    std::vector<std::uint32_t> entities;  // model-space records the board did not take as such
    std::size_t tablesFirst = 0;          // [first, last) of the TABLES section
    std::size_t tablesLast = 0;
    std::size_t blocksFirst = 0;  // [first, last) of the BLOCKS section
    std::size_t blocksLast = 0;
    std::size_t header = kNoDxfRecord;  // the HEADER section's record
    bool paperEntities = false;         // ENTITIES had paper-space records
};

// Builds the underlay. layerOf maps a layer name as written to the layer number the items get
// (the reader's own numbering; the caller may renumber items afterwards). Damaged records are
// passed over (the file opened; only what can be drawn is drawn). shownKinds, when given, counts
// the model-space records drawn by type (attributes with their inserts).
[[nodiscard]] Underlay BuildDxfUnderlay(
    const DxfSource& source, const DxfUnderlayRecords& where,
    const std::function<std::int32_t(std::string_view)>& layerOf,
    std::map<std::string, std::size_t>* shownKinds = nullptr);

// One line of an MTEXT after its inline codes: the text, and the height and width factors and
// colour number (-1: the entity's) in force where the line starts.
struct MTextLine {
    std::string text;
    double height = 1.0;
    double width = 1.0;
    int colour = -1;
};

// An MTEXT's text (UTF-8) split at paragraph breaks (\P, and line feeds) with the inline codes
// applied or dropped: \~ non-breaking space, {} groups, \f font, \H height (with x: relative),
// \W width, \C colour, \L \l \O \o \K \k lines, \S stacked fractions as a/b, \A \Q \T, \\ \{ \}.
[[nodiscard]] std::vector<MTextLine> ParseMText(std::string_view text, double height);

// The lines wrapped to fit width drawing units (none: as they are) at height, by the estimated
// advance of their characters (EstimatedAdvance), at a space where there is one, else between
// characters as Japanese text wraps.
[[nodiscard]] std::vector<MTextLine> WrapMText(std::vector<MTextLine> lines, double height,
                                               double width);

// A TEXT's control codes: %%c diameter, %%d degree, %%p plus-minus, %%% percent, %%nnn the
// character nnn; %%u %%o (under-, overline) dropped.
[[nodiscard]] std::string TextSpecials(std::string_view text);

}  // namespace pelimator::board
