// What a drawing opened from a file shows besides the board's own lines and arcs: text, blocks,
// hatches, splines, ellipses and the like, flattened to a few drawable primitives. Read-only: the
// board never edits it, the file keeps the records it came from.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "board/model/box_grid.h"
#include "board/model/types.h"

namespace pelimator::board {

inline constexpr std::uint32_t kNoUnderlayIndex = std::numeric_limits<std::uint32_t>::max();

enum class UnderlayKind : std::uint8_t {
    Polyline,  // points[first, first + count), closed or open; width > 0 draws it that wide
    Fill,      // a filled area: rings points[first, first + count) split at ring ends
    Text,      // texts[text]
    Point,     // points[first]
    Segments,  // separate segments: points[first, first + count) taken in pairs (hatch patterns)
};

// An under- or overline (DXF's %%u / %%o, MTEXT's \L / \O) beneath or above the bytes
// [from, to) of a run's text.
struct TextRule {
    std::uint32_t from = 0;
    std::uint32_t to = 0;
    bool over = false;
};

// A face a code puts in force partway along a text (an MTEXT's \f): from byte from on, the
// family font (an index into Underlay::fonts; none: not named) with face's kFaceBold and
// kFaceItalic.
struct TextFaceRun {
    std::uint32_t from = 0;
    std::uint32_t font = kNoUnderlayIndex;
    std::uint8_t face = 0;
};

// A run of text in its own frame: a point q of the text (x along the baseline, y up, in units of
// the text height) lands at origin + q.x * xAxis + q.y * yAxis. Alignment moves the run so that
// its anchor, (hAlign: 0 left, 1 centre, 2 right; vAlign: 0 baseline, 1 bottom, 2 middle, 3 top),
// lies at origin; fitWidth > 0 stretches the run to that many text units along the baseline.
struct UnderlayText {
    std::string utf8;
    Vec2 origin;
    Vec2 xAxis{1.0, 0.0};
    Vec2 yAxis{0.0, 1.0};
    std::uint8_t hAlign = 0;
    std::uint8_t vAlign = 0;
    double fitWidth = 0.0;
    // Jw_cad's character cells: each character is drawn filling a cell one x unit wide (full
    // width) or half as wide (ASCII, half-width kana), cellSpacing x units after each cell
    // (halved after a half cell); fitWidth, if any, rescales the run to end where stored.
    bool cells = false;
    double cellSpacing = 0.0;
    std::uint8_t face = 0;  // kFaceSerif | kFaceBold | kFaceItalic
    // Where the file's writer put the run's left end on its baseline (a DXF TEXT aligned
    // otherwise than left on its baseline stores it beside its alignment point), from origin in
    // units of xAxis and yAxis, and the run's length the writer measured (xAxis units; 0: not
    // known).
    bool writerStart = false;
    Vec2 startOffset{};
    double writerLength = 0.0;
    std::vector<TextRule> rules{};
    // The face's family as the file names it (an index into Underlay::fonts; none: not named)
    // and Jw_cad's text kind (文字種, 0 for a size of its own) where the file keeps it.
    std::uint32_t font = kNoUnderlayIndex;
    std::uint16_t jwwKind = 0;
    // Strike-through lines (%%k, \K) through the bytes [from, to) (over unused): kept apart from
    // the under- and overlines, which a conversion writes as lines of their own.
    std::vector<TextRule> strikes{};
    // Its runs of one face each, the first from byte 0, where codes change the face partway
    // (font and face above are the first character's); none: one face throughout.
    std::vector<TextFaceRun> faceRuns{};
};

// Where a rule of a run is drawn, in its frame: from x0 to x1 (text units from the run's start,
// before any fitting) at y text heights above the baseline.
struct TextRuleSpan {
    double x0 = 0.0;
    double x1 = 0.0;
    double y = 0.0;
};

// The heights of the rules above the baseline, in text (cap) heights: an underline below the
// descent of most letters, an overline clear of the caps, a strike-through across lower case.
inline constexpr double kUnderlineAt = -0.2;
inline constexpr double kOverlineAt = 1.2;
inline constexpr double kStrikeAt = 0.4;

// The spans of text's rules and strike-throughs, with advanceOf(prefix) how far the bytes before
// a point run (text units).
template <typename AdvanceOf>
[[nodiscard]] std::vector<TextRuleSpan> TextRuleSpans(const UnderlayText& text,
                                                      AdvanceOf&& advanceOf) {
    std::vector<TextRuleSpan> spans;
    const auto add = [&](const TextRule& rule, double y) {
        const std::size_t size = text.utf8.size();
        const std::size_t from = std::min<std::size_t>(rule.from, size);
        const std::size_t to = std::min<std::size_t>(rule.to, size);
        if (from >= to) return;
        spans.push_back({advanceOf(std::string_view(text.utf8).substr(0, from)),
                         advanceOf(std::string_view(text.utf8).substr(0, to)), y});
    };
    for (const TextRule& rule : text.rules) add(rule, rule.over ? kOverlineAt : kUnderlineAt);
    for (const TextRule& rule : text.strikes) add(rule, kStrikeAt);
    return spans;
}

// The rules of text as segments in drawing units, laid along its estimated advance as TextQuad
// places the run.
[[nodiscard]] std::vector<std::array<Vec2, 2>> TextRuleLines(const UnderlayText& text);

// A character cell against the fonts' em box: the em fills the cell's height, its bottom this
// share of it below the baseline (Noto CJK's ideographic em box).
inline constexpr double kCellEmDescent = 0.12;
// The cap height of the CJK fonts texts are drawn in, per em (Noto Sans CJK JP: 733 of 1000): a
// DXF text's height is a cap height, Jw_cad's a cell's, whose em it is.
inline constexpr double kCellCapHeight = 0.733;

// Jw_cad's italic: the face's glyphs sheared this much (x per unit of y) as Windows slants a face
// that has no italic of its own; as a DXF oblique angle, atan(0.2) = 11.31 degrees.
inline constexpr double kItalicShear = 0.2;

inline constexpr std::uint8_t kFaceSerif = 1U;
inline constexpr std::uint8_t kFaceBold = 2U;
inline constexpr std::uint8_t kFaceItalic = 4U;

// The rough advance of a text in units of its height (full-width characters 1, others 0.6), for
// boxes, culling and wrapping before a font is at hand.
[[nodiscard]] double EstimatedAdvance(const std::string& utf8) noexcept;
// The same for the one character whose UTF-8 sequence starts with lead: its length in bytes and
// its advance.
// The corners of where a run's glyphs stand, by its estimated advance: baseline start, baseline
// end, top end, top start (a parallelogram through the run's frame, descenders included), for
// picking it where it is drawn, turned, stretched or slanted.
[[nodiscard]] std::array<Vec2, 4> TextQuad(const UnderlayText& text) noexcept;

struct EstimatedCharacter {
    std::size_t bytes = 1;
    double advance = 0.6;
};
[[nodiscard]] EstimatedCharacter EstimateCharacter(unsigned char lead) noexcept;

struct UnderlayItem {
    UnderlayKind kind = UnderlayKind::Polyline;
    bool closed = false;
    bool byLayer = false;    // its colour is its record's layer's: it follows a layer change
    std::int32_t layer = 0;  // the board layer whose visibility it follows
    Rgb colour;
    float width = 0.0F;                      // drawing units; 0 draws the thinnest line
    std::uint32_t first = 0;                 // into points (Polyline, Fill, Point)
    std::uint32_t count = 0;                 // points used
    std::uint32_t rings = kNoUnderlayIndex;  // Fill: into ringEnds, count of rings in ringCount
    std::uint32_t ringCount = 0;
    std::uint32_t text = kNoUnderlayIndex;    // Text: into texts
    std::uint32_t dash = kNoUnderlayIndex;    // into dashes: a pattern in drawing units
    std::uint32_t record = kNoUnderlayIndex;  // the record key it draws (see edit_step.h)
    // A construction line cut to a box around the drawing: left out of the extents. Its two
    // points are a ray's point and where it leaves the box, or two points its line's point is
    // midway between (so that moves, turns and mirrors keep it).
    bool unbounded = false;
    bool ray = false;
    Box box;
};

// Snap points the underlay offers, by what they are.
enum class UnderlayPointKind : std::uint8_t { End, Mid, Centre, Insertion };

struct UnderlayPoint {
    Vec2 point;
    UnderlayPointKind kind = UnderlayPointKind::End;
    std::int32_t layer = 0;
    std::uint32_t record = kNoUnderlayIndex;  // the record key it belongs to
};

class Underlay {
public:
    std::vector<UnderlayItem> items;
    std::vector<Vec2> points;
    std::vector<std::uint32_t> ringEnds;  // Fill: end (exclusive, relative to first) of each ring
    std::vector<UnderlayText> texts;
    std::vector<std::vector<double>> dashes;  // + dash, - gap, 0 dot; drawing units
    // Each dash's linetype's name and description where the file names its linetypes (DXF).
    std::vector<std::array<std::string, 2>> dashNames;
    std::vector<std::string> fonts;  // font families the texts name
    std::vector<UnderlayPoint> snapPoints;
    bool paperSpace = false;  // the file has paper-space layouts (kept, not shown)
    std::size_t dropped = 0;  // primitives left out past the size limit (huge arrays)

    // Completes the fill item last in items (its first set): appends each ring of at least three
    // points that usable accepts, and drops the item when no ring is kept.
    void AppendFillRings(const std::vector<std::vector<Vec2>>& rings, bool (*usable)(Vec2));

    // Computes boxes and the indexes; call once after filling.
    void Finish();

    [[nodiscard]] bool Empty() const noexcept { return items.empty() && snapPoints.empty(); }
    // Some item is a construction line (unbounded).
    [[nodiscard]] bool HasUnbounded() const noexcept { return m_hasUnbounded; }
    // The box of everything; none when empty.
    [[nodiscard]] std::optional<Box> Extents() const noexcept { return m_extents; }

    template <typename Visit>
    void QueryItems(const Box& area, Visit&& visit) const {
        m_itemGrid.Query(area, visit);
    }
    template <typename Visit>
    void QuerySnapPoints(const Box& area, Visit&& visit) const {
        m_pointGrid.Query(area, visit);
    }

    // The point of a shown polyline (per layerShown(layer)) nearest to p within
    // radius; none when nothing is that near.
    template <typename LayerShown>
    [[nodiscard]] std::optional<Vec2> NearestOnOutline(Vec2 p, double radius,
                                                       LayerShown&& layerShown) const;

    // The index of the shown polyline nearest to p within radius; none when nothing is that
    // near.
    template <typename LayerShown>
    [[nodiscard]] std::optional<std::size_t> NearestOutline(Vec2 p, double radius,
                                                            LayerShown&& layerShown) const;

private:
    template <typename LayerShown>
    [[nodiscard]] std::pair<std::optional<std::size_t>, std::optional<Vec2>> NearestOutlinePoint(
        Vec2 p, double radius, LayerShown&& layerShown) const;

    BoxGrid m_itemGrid;
    BoxGrid m_pointGrid;
    std::optional<Box> m_extents;
    bool m_hasUnbounded = false;
};
using UnderlayPtr = std::shared_ptr<const Underlay>;

// A construction line through at along direction (a unit vector; a ray: from at on) cut to the
// box around `around` and at, grown on every side by its larger side (at least 1 unit): from
// where it leaves the box behind (a ray: from at) to where it leaves it ahead, a line's cut
// stretched on its nearer side to have at midway. False when nothing is left.
[[nodiscard]] bool CutUnboundedLine(Vec2 at, Vec2 direction, bool ray,
                                    const std::optional<Box>& around, Vec2& a, Vec2& b) noexcept;

// u with its construction lines cut again to the box around `around` (the board's own
// entities') and u's other items, each through the point its cut keeps (CutUnboundedLine).
[[nodiscard]] Underlay RecutUnbounded(const Underlay& u, const std::optional<Box>& around);

// The box holding both (either may be none).
[[nodiscard]] std::optional<Box> UnionOf(const std::optional<Box>& a,
                                         const std::optional<Box>& b) noexcept;

// The point of segment a-b nearest to p.
[[nodiscard]] Vec2 NearestOnSegment(Vec2 p, Vec2 a, Vec2 b) noexcept;

template <typename LayerShown>
std::optional<std::size_t> Underlay::NearestOutline(Vec2 p, double radius,
                                                    LayerShown&& layerShown) const {
    return NearestOutlinePoint(p, radius, layerShown).first;
}

template <typename LayerShown>
std::optional<Vec2> Underlay::NearestOnOutline(Vec2 p, double radius,
                                               LayerShown&& layerShown) const {
    return NearestOutlinePoint(p, radius, layerShown).second;
}

template <typename LayerShown>
std::pair<std::optional<std::size_t>, std::optional<Vec2>> Underlay::NearestOutlinePoint(
    Vec2 p, double radius, LayerShown&& layerShown) const {
    std::optional<std::size_t> bestItem;
    std::optional<Vec2> best;
    double bestDistance = radius;
    const Box area{{p.x - radius, p.y - radius}, {p.x + radius, p.y + radius}};
    QueryItems(area, [&](std::size_t i) {
        const UnderlayItem& item = items[i];
        if (item.kind != UnderlayKind::Polyline) return;
        if (!layerShown(item.layer) || item.count < 2) return;
        const std::uint32_t last = item.first + item.count;
        const bool wrap = item.closed;
        for (std::uint32_t k = item.first; k < last; ++k) {
            if (k + 1 == last && !wrap) break;
            const Vec2 a = points[k];
            const Vec2 b = points[k + 1 == last ? item.first : k + 1];
            const Vec2 q = NearestOnSegment(p, a, b);
            const double d = Distance(p, q);
            if (d <= bestDistance) {
                bestDistance = d;
                best = q;
                bestItem = i;
            }
        }
    });
    return {bestItem, best};
}

// The points of the shown polyline nearest to p (within radius) as a path: from its end nearer
// p, or all the way round a closed one from its first point back to it; repeated points once.
// Empty when none is that near.
template <typename LayerShown>
[[nodiscard]] std::vector<Vec2> OutlineAlong(const Underlay& underlay, Vec2 p, double radius,
                                             LayerShown&& layerShown) {
    std::vector<Vec2> path;
    const auto found = underlay.NearestOutline(p, radius, layerShown);
    if (!found) return path;
    const UnderlayItem& item = underlay.items[*found];
    const auto begin = underlay.points.begin() + item.first;
    for (auto it = begin; it != begin + item.count; ++it) {
        if (path.empty() || !(path.back() == *it)) path.push_back(*it);
    }
    if (item.closed && path.size() > 1 && !(path.back() == path.front())) {
        path.push_back(path.front());
    } else if (!item.closed && path.size() > 1 &&
               Distance(p, path.back()) < Distance(p, path.front())) {
        std::reverse(path.begin(), path.end());
    }
    return path;
}

}  // namespace pelimator::board
