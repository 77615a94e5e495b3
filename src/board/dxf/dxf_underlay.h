// The underlay of an opened DXF file: what model space draws besides the lines and arcs the
// board takes, built from the kept records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
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
    // The box of the board's own entities read from the file (construction lines are drawn
    // across it); none when there are none.
    std::optional<Box> boardExtents;
    // The entities are the contents of blocks: drawn whole, as inside an insert at the origin.
    bool blockContent = false;
};

// The work the underlay may cost, counted by what it generates rather than what it visits, in
// units of about one point (16 bytes) kept or one step computed: a flattened point 1, a snap
// point 4, a drawn item 8 (its box in the index included), a text run 6 plus its characters, a
// boundary edge a hatch pattern family is cut against 1, a pattern line 1, a record visited 1.
// A small file whose blocks, arrays and patterns multiply what it holds would otherwise take
// minutes and gigabytes. The limit grows with the file (what a file holds itself is not cut) up
// to a cap.
inline constexpr std::size_t kDxfUnderlayBaseWork = 8'000'000;
inline constexpr std::size_t kDxfUnderlayBytesPerWork = 8;
inline constexpr std::size_t kDxfUnderlayMaxWork = 40'000'000;
// The limit for a file of fileBytes bytes.
[[nodiscard]] std::size_t DxfUnderlayWorkLimit(std::size_t fileBytes) noexcept;

// The budget of one build: its limit, and what was spent and left out.
struct DxfUnderlayBudget {
    std::size_t limit = kDxfUnderlayBaseWork;
    std::size_t used = 0;
    // Model-space records (by type) not shown whole because the limit was reached: skipped,
    // or cut short part way (an array drawn in part).
    std::map<std::string, std::size_t> leftOut;
};

// Builds the underlay. layerOf maps a layer name as written to the layer number the items get
// (the reader's own numbering; the caller may renumber items afterwards). Damaged records are
// passed over (the file opened; only what can be drawn is drawn). shownKinds, when given, counts
// the model-space records drawn by type (attributes with their inserts). budget, when given,
// bounds the work (else kDxfUnderlayBaseWork) and reports what it left out.
[[nodiscard]] Underlay BuildDxfUnderlay(
    const DxfSource& source, const DxfUnderlayRecords& where,
    const std::function<std::int32_t(std::string_view)>& layerOf,
    std::map<std::string, std::size_t>* shownKinds = nullptr, DxfUnderlayBudget* budget = nullptr);

// A face an inline code puts in force partway along an MTEXT line, from its byte from (the
// first at 0): as MTextLine's faceCoded, family, bold and italic.
struct MTextFaceRun {
    std::size_t from = 0;
    bool faceCoded = false;
    std::string family;
    bool bold = false;
    bool italic = false;
};

// A part of an MTEXT line set at a height and width of its own, or a stacked fraction: bytes
// [from, to) of the line's text. A stack's text is its numerator, the shown '/' and its
// denominator, which starts at split.
struct MTextRun {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    double height = 1.0;  // factors, as the line's
    double width = 1.0;
    char stack = 0;  // '/' over a bar, '#' diagonal, '^' without a bar (a tolerance); 0: none
    std::uint32_t split = 0;
};

// One line of an MTEXT after its inline codes: the text, and the height and width factors and
// colour number (-1: the entity's) in force where the line starts.
struct MTextLine {
    std::string text;
    // Its parts where a height or width changes in it or it holds a stacked fraction, in order
    // and covering it; empty: one part at height and width.
    std::vector<MTextRun> runs;
    double height = 1.0;
    double width = 1.0;
    int colour = -1;
    std::vector<TextRule> rules;  // its under- and overlines (\L \O)
    bool underline = false;       // in force where it ends (as the reader goes)
    bool overline = false;
    std::vector<TextRule> strikes;  // its strike-throughs (\K)
    bool strike = false;
    // The face an inline \f or \F code puts in force (where the reader is; a line's: at its first
    // character other than a space): coded false, the style's; else family (empty: a \F shape
    // font, no TrueType family) with its bold and italic flags.
    bool faceCoded = false;
    std::string family;
    bool bold = false;
    bool italic = false;
    // Its runs of one face, each from a character other than a space where the face changed.
    std::vector<MTextFaceRun> faces;
};

// An MTEXT's text (UTF-8) split at paragraph breaks (\P, and line feeds) with the inline codes
// applied or dropped: \~ non-breaking space, {} groups, \f \F font, \H height (with x: relative),
// \W width, \C colour, \L \l \O \o \K \k lines, \S stacked fractions (shown as a/b, a run of
// their own), \A \Q \T, \\ \{ \}.
[[nodiscard]] std::vector<MTextLine> ParseMText(std::string_view text, double height);

// The lines wrapped to fit width drawing units (none: as they are) at height, by the estimated
// advance of their characters (EstimatedAdvance), at a space where there is one, else between
// characters as Japanese text wraps.
[[nodiscard]] std::vector<MTextLine> WrapMText(std::vector<MTextLine> lines, double height,
                                               double width);

// A TEXT's control codes: %%c diameter, %%d degree, %%p plus-minus, %%% percent, %%nnn the
// character nnn; %%u %%o %%k (under-, overline, strike-through: each turns its line on or off)
// left out of the text and, given rules and strikes, added there as the byte ranges they draw
// under, over or through.
[[nodiscard]] std::string TextSpecials(std::string_view text);
[[nodiscard]] std::string TextSpecials(std::string_view text, std::vector<TextRule>* rules,
                                       std::vector<TextRule>* strikes = nullptr);

}  // namespace pelimator::board
