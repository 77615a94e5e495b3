// The underlay's boxes, indexes and text estimate.
#include "board/model/underlay.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace pelimator::board {

namespace {

constexpr double kHuge = 1e300;

// The descent below the baseline the painter gives a run, in text heights, as TextQuad counts it.
constexpr double kQuadDescent = 0.25;

Box EmptyBox() noexcept { return {{kHuge, kHuge}, {-kHuge, -kHuge}}; }

void Grow(Box& box, Vec2 p) noexcept {
    box.min.x = std::min(box.min.x, p.x);
    box.min.y = std::min(box.min.y, p.y);
    box.max.x = std::max(box.max.x, p.x);
    box.max.y = std::max(box.max.y, p.y);
}

// The box of a text run by its estimated advance, through its frame and alignment.
Box TextBox(const UnderlayText& text) noexcept {
    const double advance = text.fitWidth > 0.0 ? text.fitWidth : EstimatedAdvance(text.utf8);
    const double x0 = -0.5 * text.hAlign * advance;
    const double y0 = text.vAlign == 0   ? -0.3
                      : text.vAlign == 1 ? 0.0
                      : text.vAlign == 2 ? -0.5
                                         : -1.0;
    Box box = EmptyBox();
    for (const double x : {x0 - 0.1, x0 + advance + 0.1}) {
        for (const double y : {y0 - 0.3, y0 + 1.3}) {
            Grow(box, text.origin + x * text.xAxis + y * text.yAxis);
        }
    }
    // Where a pick finds it, whatever the alignment of a fitted run.
    for (const Vec2 corner : TextQuad(text)) Grow(box, corner);
    return box;
}

}  // namespace

std::array<Vec2, 4> TextQuad(const UnderlayText& text) noexcept {
    const double advance = text.fitWidth > 0.0 ? text.fitWidth : EstimatedAdvance(text.utf8);
    const double x0 = text.fitWidth > 0.0 ? 0.0 : -0.5 * text.hAlign * advance;
    // The baseline against the anchor, as the painter sets it; glyphs from a descent below it to
    // one text height above.
    const double base = text.vAlign == 0   ? 0.0
                        : text.vAlign == 1 ? kQuadDescent
                        : text.vAlign == 2 ? -0.5
                                           : -1.0;
    const auto at = [&](double x, double y) {
        return text.origin + x * text.xAxis + y * text.yAxis;
    };
    return {at(x0, base - kQuadDescent), at(x0 + advance, base - kQuadDescent),
            at(x0 + advance, base + 1.0), at(x0, base + 1.0)};
}

std::vector<std::array<Vec2, 2>> TextRuleLines(const UnderlayText& text) {
    std::vector<std::array<Vec2, 2>> lines;
    if (text.rules.empty() && text.strikes.empty()) return lines;
    const double estimated = EstimatedAdvance(text.utf8);
    const double advance = text.fitWidth > 0.0 ? text.fitWidth : estimated;
    const double stretch = text.fitWidth > 0.0 && estimated > 0.0 ? advance / estimated : 1.0;
    const std::array<Vec2, 4> quad = TextQuad(text);
    // The quad's first corner is the run's start a descent below its baseline.
    const Vec2 start = quad[0] + kQuadDescent * text.yAxis;
    const auto estimate = [](std::string_view prefix) {
        return EstimatedAdvance(std::string(prefix));
    };
    for (const TextRuleSpan& span : TextRuleSpans(text, estimate)) {
        lines.push_back({start + (span.x0 * stretch) * text.xAxis + span.y * text.yAxis,
                         start + (span.x1 * stretch) * text.xAxis + span.y * text.yAxis});
    }
    return lines;
}

EstimatedCharacter EstimateCharacter(unsigned char lead) noexcept {
    const std::size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    // Two-byte sequences are Latin, Greek and the like; three and more are mostly CJK.
    return {n, n >= 3 ? 1.0 : 0.6};
}

double EstimatedAdvance(const std::string& utf8) noexcept {
    double advance = 0.0;
    for (std::size_t i = 0; i < utf8.size();) {
        const EstimatedCharacter character = EstimateCharacter(static_cast<unsigned char>(utf8[i]));
        advance += character.advance;
        i += character.bytes;
    }
    return advance;
}

std::optional<Box> UnionOf(const std::optional<Box>& a, const std::optional<Box>& b) noexcept {
    if (!a) return b;
    if (!b) return a;
    Box box = *a;
    Grow(box, b->min);
    Grow(box, b->max);
    return box;
}

Vec2 NearestOnSegment(Vec2 p, Vec2 a, Vec2 b) noexcept {
    const Vec2 d = b - a;
    const double length2 = Dot(d, d);
    if (length2 <= 0.0) return a;
    const double t = std::clamp(Dot(p - a, d) / length2, 0.0, 1.0);
    return a + t * d;
}

void Underlay::AppendFillRings(const std::vector<std::vector<Vec2>>& rings, bool (*usable)(Vec2)) {
    UnderlayItem& item = items.back();
    item.rings = static_cast<std::uint32_t>(ringEnds.size());
    for (const auto& ring : rings) {
        if (ring.size() < 3 || !std::all_of(ring.begin(), ring.end(), usable)) continue;
        points.insert(points.end(), ring.begin(), ring.end());
        ringEnds.push_back(static_cast<std::uint32_t>(points.size() - item.first));
        ++item.ringCount;
    }
    item.count = static_cast<std::uint32_t>(points.size() - item.first);
    if (item.ringCount == 0) items.pop_back();
}

void Underlay::Finish() {
    m_hasUnbounded = false;
    std::vector<Box> boxes;
    boxes.reserve(items.size());
    Box all = EmptyBox();
    for (UnderlayItem& item : items) {
        Box box = EmptyBox();
        if (item.kind == UnderlayKind::Text) {
            box = TextBox(texts[item.text]);
        } else {
            for (std::uint32_t k = item.first; k < item.first + item.count; ++k)
                Grow(box, points[k]);
            const double half = 0.5 * item.width;
            box.min = box.min - Vec2{half, half};
            box.max = box.max + Vec2{half, half};
        }
        item.box = box;
        boxes.push_back(box);
        m_hasUnbounded = m_hasUnbounded || item.unbounded;
        if (item.unbounded) continue;
        Grow(all, box.min);
        Grow(all, box.max);
    }
    m_itemGrid.Build(std::move(boxes));
    std::vector<Box> pointBoxes;
    pointBoxes.reserve(snapPoints.size());
    // What is drawn makes the extents: snap points (an arc's far centre, the insertion point of
    // a nested block drawn elsewhere) only when nothing is.
    const bool drawn = all.min.x <= all.max.x;
    for (const UnderlayPoint& p : snapPoints) {
        pointBoxes.push_back({p.point, p.point});
        if (!drawn) Grow(all, p.point);
    }
    m_pointGrid.Build(std::move(pointBoxes));
    if (all.min.x <= all.max.x) {
        m_extents = all;
    } else {
        m_extents.reset();
    }
}

bool CutUnboundedLine(Vec2 at, Vec2 direction, bool ray, const std::optional<Box>& around, Vec2& a,
                      Vec2& b) noexcept {
    Box own = around.value_or(Box{at, at});
    Grow(own, at);
    const double margin = std::max({own.max.x - own.min.x, own.max.y - own.min.y, 1.0});
    own.min = own.min - Vec2{margin, margin};
    own.max = own.max + Vec2{margin, margin};
    // Far enough to leave the box from anywhere in it.
    const double reach = 2.0 * Length(own.max - own.min);
    a = ray ? at : at - reach * direction;
    b = at + reach * direction;
    if (!ClipSegment(a, b, own)) return false;
    if (ray) return true;
    const double half = std::max(Length(a - at), Length(b - at));
    a = at - half * direction;
    b = at + half * direction;
    return true;
}

Underlay RecutUnbounded(const Underlay& u, const std::optional<Box>& around) {
    Underlay out = u;
    const std::optional<Box> box = UnionOf(around, u.Extents());
    for (const UnderlayItem& item : out.items) {
        if (!item.unbounded || item.count != 2) continue;
        Vec2& a = out.points[item.first];
        Vec2& b = out.points[item.first + 1];
        const double length = Length(b - a);
        if (!(length > 0.0)) continue;
        const Vec2 direction = (1.0 / length) * (b - a);
        const Vec2 at = item.ray ? a : 0.5 * (a + b);
        Vec2 from;
        Vec2 to;
        if (CutUnboundedLine(at, direction, item.ray, box, from, to)) {
            a = from;
            b = to;
        }
    }
    out.Finish();
    return out;
}

}  // namespace pelimator::board
