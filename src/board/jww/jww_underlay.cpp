// Flattening JWW shapes to the underlay's primitives: coordinates, text sizes and dash lengths are
// all paper millimetres, the board's units for a JWW drawing, whatever the layer group's scale.
#include "board/jww/jww_underlay.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <unordered_map>

#include "board/jww/jww_circle_solid.h"
#include "board/jww/jww_text.h"

namespace pelimator::board::jww {

namespace {

// Inserts nest no deeper than this; the underlay stops growing past this many points, items or
// snap points (inserts of inserts multiply what a small file holds).
constexpr int kMaxInsertDepth = 16;
constexpr std::size_t kMaxPoints = std::size_t{1} << 23U;
constexpr std::size_t kMaxItems = std::size_t{1} << 21U;

// p -> origin + rotation (scale x, scale y) p, the placement of a block insert.
struct Placement {
    Vec2 origin{0.0, 0.0};
    double scaleX = 1.0;
    double scaleY = 1.0;
    double cosine = 1.0;
    double sine = 0.0;

    [[nodiscard]] Vec2 Vector(Vec2 v) const noexcept {
        const Vec2 s{v.x * scaleX, v.y * scaleY};
        return {s.x * cosine - s.y * sine, s.x * sine + s.y * cosine};
    }
    [[nodiscard]] Vec2 Point(Vec2 p) const noexcept { return origin + Vector(p); }
    [[nodiscard]] Placement Then(const Placement& inner) const noexcept {
        // this ∘ inner, for an insert inside a block; non-uniform scales with rotation inside
        // rotation are taken as uniform (their mean), which Jw_cad's inserts rarely need.
        Placement out;
        out.origin = Point(inner.origin);
        out.scaleX = scaleX * inner.scaleX;
        out.scaleY = scaleY * inner.scaleY;
        out.cosine = cosine * inner.cosine - sine * inner.sine;
        out.sine = sine * inner.cosine + cosine * inner.sine;
        return out;
    }
};

// The face a text is drawn in: its font's kind (明朝 and other serif faces, else gothic) and
// the kind's italic (+10000) and bold (+20000) flags.
std::uint8_t FaceOf(const Shape& shape) {
    std::string lower = shape.font;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::uint8_t face = 0;
    for (const char* serif : {"明朝", "mincho", "serif", "times", "century"}) {
        if (lower.find(serif) != std::string::npos) face |= kFaceSerif;
    }
    const std::uint32_t flags = (shape.textKind / 10000U) % 10U;
    if ((flags & 1U) != 0U) face |= kFaceItalic;
    if ((flags & 2U) != 0U) face |= kFaceBold;
    return face;
}

bool Usable(Vec2 p) noexcept {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::abs(p.x) < 1e13 && std::abs(p.y) < 1e13;
}

std::int32_t LayerOf(const Common& c) {
    return static_cast<std::int32_t>((c.groupLayer & 0xFU) * 16U + (c.layer & 0xFU));
}

// How an item is drawn.
struct Style {
    std::int32_t layer = 0;
    Rgb colour;
    std::uint32_t dash = kNoUnderlayIndex;
    double dashScale = 1.0;  // the dash pattern's paper mm to drawing units (a block's scale)
    std::uint32_t record = kNoUnderlayIndex;  // the entity list's record it draws
};

class Builder {
public:
    Builder(const Header& header, const std::vector<Block>& blocks,
            std::map<std::string, std::size_t>* shownKinds, UnderlayBudget& budget)
        : m_header(header), m_shownKinds(shownKinds), m_budget(budget) {
        for (const auto& block : blocks) m_blocks.emplace(block.number, &block);
    }

    // Whether the work limit has been reached: nothing more is added.
    [[nodiscard]] bool Spent() const noexcept { return m_budget.used >= m_budget.limit; }

    void Add(const Shape& shape, const Placement& place, const Style* outer, int depth) {
        Work(1);
        Style style = StyleOf(shape.common, place, outer);
        style.record = outer != nullptr ? outer->record : shape.record;
        switch (shape.kind) {
            case ShapeKind::Line:
                AddLine(shape, place, style);
                return;
            case ShapeKind::Arc:
                AddArc(shape, place, style);
                return;
            case ShapeKind::Point:
                AddPoint(shape, place, style);
                return;
            case ShapeKind::Text:
                AddText(shape, place, style);
                return;
            case ShapeKind::Solid:
                AddSolid(shape, place, style);
                return;
            case ShapeKind::Insert:
                AddInsert(shape, place, style, depth);
                return;
        }
    }

    Underlay Take() {
        m_underlay.Finish();
        return std::move(m_underlay);
    }

private:
    void Count(const char* kind) {
        if (m_shownKinds != nullptr) ++(*m_shownKinds)[kind];
    }

    void Work(std::size_t units) noexcept { m_budget.used += units; }

    [[nodiscard]] bool Full() noexcept {
        const bool full = m_underlay.points.size() >= kMaxPoints ||
                          m_underlay.items.size() >= kMaxItems ||
                          m_underlay.snapPoints.size() >= kMaxPoints || Spent();
        if (full) ++m_underlay.dropped;
        return full;
    }

    Style StyleOf(const Common& c, const Placement& place, const Style* outer) {
        Style s;
        // Inside a block, visibility and dashes follow the insert.
        s.layer = outer != nullptr ? outer->layer : LayerOf(c);
        s.dashScale = outer != nullptr ? outer->dashScale : std::abs(place.scaleX);
        s.colour = PenRgb(m_header, c.penColour);
        s.dash = DashIndex(c.penStyle, s.dashScale);
        return s;
    }

    std::uint32_t DashIndex(std::uint8_t penStyle, double scale) {
        const auto key = std::pair{penStyle, scale};
        const auto found = m_dashIndex.find(key);
        if (found != m_dashIndex.end()) return found->second;
        std::vector<double> dashes = PenDashes(m_header, penStyle);
        std::uint32_t index = kNoUnderlayIndex;
        if (!dashes.empty()) {
            for (double& d : dashes) d *= scale;
            index = static_cast<std::uint32_t>(m_underlay.dashes.size());
            m_underlay.dashes.push_back(std::move(dashes));
        }
        m_dashIndex.emplace(key, index);
        return index;
    }

    UnderlayItem& Item(UnderlayKind kind, const Style& s) {
        Work(8);
        UnderlayItem& item = m_underlay.items.emplace_back();
        item.kind = kind;
        item.layer = s.layer;
        item.colour = s.colour;
        item.dash = s.dash;
        item.record = s.record;
        item.first = static_cast<std::uint32_t>(m_underlay.points.size());
        return item;
    }

    void Snap(Vec2 p, UnderlayPointKind kind, const Style& s) {
        if (!Usable(p) || Full()) return;
        Work(4);
        m_underlay.snapPoints.push_back({p, kind, s.layer, s.record});
    }

    void Polyline(const std::vector<Vec2>& pts, bool closed, const Style& s) {
        if (pts.size() < 2 || Full() || !std::all_of(pts.begin(), pts.end(), Usable)) return;
        UnderlayItem& item = Item(UnderlayKind::Polyline, s);
        item.closed = closed;
        Work(pts.size());
        m_underlay.points.insert(m_underlay.points.end(), pts.begin(), pts.end());
        item.count = static_cast<std::uint32_t>(pts.size());
    }

    void Fill(const std::vector<std::vector<Vec2>>& rings, const Style& s) {
        if (Full()) return;
        for (const auto& ring : rings) Work(ring.size());
        Item(UnderlayKind::Fill, s);
        m_underlay.AppendFillRings(rings, Usable);
    }

    void AddLine(const Shape& shape, const Placement& place, const Style& s) {
        const Vec2 a = place.Point(shape.p[0]);
        const Vec2 b = place.Point(shape.p[1]);
        Polyline({a, b}, false, s);
        Snap(a, UnderlayPointKind::End, s);
        Snap(b, UnderlayPointKind::End, s);
        Snap(0.5 * (a + b), UnderlayPointKind::Mid, s);
        Count("線");
    }

    // Points of the ellipse arc of shape (start to start + sweep; the whole ellipse when full).
    static std::vector<Vec2> ArcPoints(Vec2 centre, double radius, double flatness, double tilt,
                                       double start, double sweep, const Placement& place) {
        std::vector<Vec2> pts = EllipseArcPoints(centre, radius, flatness, tilt, start, sweep);
        for (Vec2& p : pts) p = place.Point(p);
        return pts;
    }

    void AddArc(const Shape& shape, const Placement& place, const Style& s) {
        if (!std::isfinite(shape.radius) || !std::isfinite(shape.sweep) ||
            !std::isfinite(shape.startAngle) || !std::isfinite(shape.tilt) ||
            !std::isfinite(shape.flatness)) {
            return;
        }
        const double sweep = shape.full ? 2.0 * std::numbers::pi : shape.sweep;
        std::vector<Vec2> pts = ArcPoints(shape.p[0], shape.radius, shape.flatness, shape.tilt,
                                          shape.startAngle, sweep, place);
        if (shape.full) pts.pop_back();
        const Vec2 first = pts.front();
        const Vec2 last = pts.back();
        Polyline(pts, shape.full, s);
        Snap(place.Point(shape.p[0]), UnderlayPointKind::Centre, s);
        if (!shape.full) {
            Snap(first, UnderlayPointKind::End, s);
            Snap(last, UnderlayPointKind::End, s);
        }
        Count(std::abs(shape.flatness - 1.0) < 1e-12 ? "円弧" : "楕円弧");
    }

    void AddPoint(const Shape& shape, const Placement& place, const Style& s) {
        const Vec2 p = place.Point(shape.p[0]);
        if (!Usable(p) || Full()) return;
        UnderlayItem& item = Item(UnderlayKind::Point, s);
        m_underlay.points.push_back(p);
        item.count = 1;
        Snap(p, UnderlayPointKind::End, s);
        Count(shape.temporary ? "仮点" : "点");
    }

    void AddText(const Shape& shape, const Placement& place, const Style& s) {
        if (Full()) return;
        if (shape.text.rfind("^@BM", 0) == 0) {
            Count("画像 (表示しない)");
            return;
        }
        const double height = shape.sizeY * std::abs(place.scaleY);
        const double widthFactor = shape.sizeY > 0.0 ? shape.sizeX / shape.sizeY : 1.0;
        if (!(height > 0.0) || !std::isfinite(height) || !std::isfinite(widthFactor) ||
            !std::isfinite(shape.angle)) {
            return;
        }
        const double radians = shape.angle * std::numbers::pi / 180.0;
        const Vec2 along{std::cos(radians), std::sin(radians)};
        const Vec2 up{-along.y, along.x};
        UnderlayText text;
        text.utf8 = shape.text;
        text.origin = place.Point(shape.p[0]);
        const Vec2 xAxis = place.Vector(along);
        const Vec2 yAxis = place.Vector(up);
        const double xLength = std::hypot(xAxis.x, xAxis.y);
        const double yLength = std::hypot(yAxis.x, yAxis.y);
        if (!(xLength > 0.0) || !(yLength > 0.0)) return;
        text.xAxis = (height * widthFactor / xLength) * xAxis;
        text.yAxis = (height / yLength) * yAxis;
        text.vAlign = 1;  // Jw_cad's start point is the bottom-left of the text
        const Vec2 end = place.Point(shape.p[1]);
        double length = std::hypot(end.x - text.origin.x, end.y - text.origin.y);
        // A run stored without its length is as long as its character cells.
        if (!(length > 0.0))
            length = CellsWidth(shape.text, shape.sizeX, shape.spacing) * std::abs(place.scaleX);
        if (length > 0.0 && widthFactor > 0.0) text.fitWidth = length / (height * widthFactor);
        if (shape.sizeX > 0.0) {
            text.cells = true;
            text.cellSpacing = shape.spacing / shape.sizeX;
        }
        text.face = FaceOf(shape);
        if (!Usable(text.origin) || !Usable(text.xAxis) || !Usable(text.yAxis)) return;
        Work(6 + text.utf8.size());
        UnderlayItem& item = Item(UnderlayKind::Text, s);
        item.text = static_cast<std::uint32_t>(m_underlay.texts.size());
        m_underlay.texts.push_back(std::move(text));
        Snap(place.Point(shape.p[0]), UnderlayPointKind::Insertion, s);
        Count("文字");
    }

    void AddSolid(const Shape& shape, const Placement& place, const Style& outer) {
        if (Full()) return;
        Style s = outer;
        if (shape.common.penColour == 10) {
            s.colour = UnpackColorRef(shape.rgb);
        }
        s.dash = kNoUnderlayIndex;
        Count("ソリッド");
        const std::uint8_t style = shape.common.penStyle;
        if (style < 101) {
            // Corners as stored: 1st, 4th, 2nd, 3rd.
            Fill({{place.Point(shape.p[0]), place.Point(shape.p[2]), place.Point(shape.p[3]),
                   place.Point(shape.p[1])}},
                 s);
            return;
        }
        CircleSolidOutline outline = CircleSolidOf(shape);
        if (outline.points.empty()) return;
        for (Vec2& p : outline.points) p = place.Point(p);
        if (outline.filled) {
            Fill({outline.points}, s);
        } else {
            Polyline(outline.points, false, s);
        }
    }

    void AddInsert(const Shape& shape, const Placement& place, const Style& s, int depth) {
        Snap(place.Point(shape.p[0]), UnderlayPointKind::Insertion, s);
        Count("ブロック");
        const auto found = m_blocks.find(shape.code);
        if (found == m_blocks.end() || depth >= kMaxInsertDepth) return;
        Placement inner;
        inner.origin = shape.p[0];
        inner.scaleX = std::isfinite(shape.sizeX) ? shape.sizeX : 1.0;
        inner.scaleY = std::isfinite(shape.sizeY) ? shape.sizeY : 1.0;
        inner.cosine = std::cos(shape.angle);
        inner.sine = std::sin(shape.angle);
        if (!std::isfinite(inner.cosine) || !std::isfinite(inner.sine)) return;
        const Placement combined = place.Then(inner);
        for (const Shape& child : found->second->shapes) {
            if (Full()) return;
            Add(child, combined, &s, depth + 1);
        }
    }

    const Header& m_header;
    std::map<std::string, std::size_t>* m_shownKinds;
    std::unordered_map<std::uint32_t, const Block*> m_blocks;
    std::map<std::pair<std::uint8_t, double>, std::uint32_t> m_dashIndex;
    UnderlayBudget& m_budget;
    Underlay m_underlay;
};

}  // namespace

Rgb PenRgb(const Header& header, std::uint16_t pen) noexcept {
    std::size_t index = pen;
    if (!((index >= 1 && index <= 9) || (index >= 100 && index <= 356))) index = 2;
    return UnpackColorRef(header.penColour[index]);
}

std::string PenColourName(const Header& header, std::uint16_t pen) {
    if (pen >= 1 && pen <= 8) return "線色" + std::to_string(pen);
    if (pen == 9) return "補助線色";
    if (pen >= 100 && pen <= 356) {
        const std::string& name = header.sxfColourName[pen - 100U];
        return "SXF色 " + std::to_string(pen - 100U) + (name.empty() ? "" : " " + name);
    }
    return pen == 0 ? std::string() : "線色 " + std::to_string(pen);
}

std::string LineTypeName(const Header& header, std::uint8_t penStyle) {
    static constexpr std::array<const char*, 10> kNames{"",        "実線",    "点線1",   "点線2",
                                                        "点線3",   "一点鎖1", "一点鎖2", "二点鎖1",
                                                        "二点鎖2", "補助線種"};
    if (penStyle < kNames.size()) return kNames[penStyle];
    if (penStyle >= 11 && penStyle <= 15) return "ランダム線" + std::to_string(penStyle - 10);
    if (penStyle >= 16 && penStyle <= 19) return "倍長線種" + std::to_string(penStyle - 15);
    if (penStyle >= 30 && penStyle <= 62) {
        const std::string& name = header.sxfLineTypeName[penStyle - 30U];
        return "SXF線種 " + std::to_string(penStyle - 30U) + (name.empty() ? "" : " " + name);
    }
    return "線種 " + std::to_string(penStyle);
}

namespace {

// An SXF line type's own runs (paper mm, dash first), or none when it gives none usable.
std::vector<double> SxfDashes(const Header& header, std::size_t type) {
    const std::size_t count = std::min<std::size_t>(header.sxfSegments[type], 10);
    std::vector<double> dashes;
    for (std::size_t i = 0; i < count; ++i) {
        const double run = header.sxfPitch[type][i];
        if (!(run > 0.0 && run < 1e4)) return {};
        dashes.push_back(i % 2 == 0 ? run : -run);
    }
    // An odd count repeats as dash, gap, ..., gap, dash: its cycle is twice as long.
    if (dashes.size() % 2 == 1 && dashes.size() > 1) {
        const std::vector<double> once = dashes;
        for (const double run : once) dashes.push_back(-run);
    }
    return dashes.size() >= 2 ? dashes : std::vector<double>{};
}

}  // namespace

double CellsWidth(const std::string& utf8, double width, double spacing) {
    const std::string sjis = ToShiftJis(utf8);
    double halves = 0.0;
    double last = 0.0;
    for (std::size_t i = 0; i < sjis.size(); i += static_cast<std::size_t>(last)) {
        const auto lead = static_cast<unsigned char>(sjis[i]);
        last = (lead >= 0x81 && lead <= 0x9F) || lead >= 0xE0 ? 2.0 : 1.0;
        halves += last;
    }
    return (halves * (width + spacing) - last * spacing) / 2.0;
}

std::vector<double> PenDashes(const Header& header, std::uint8_t penStyle) {
    std::size_t n = penStyle;
    if (n >= 30 && n <= 62) {
        std::vector<double> own = SxfDashes(header, n - 30);
        if (!own.empty()) return own;
    }
    if (!((n >= 2 && n <= 9) || (n >= 16 && n <= 19) || (n >= 30 && n <= 62))) return {};
    const std::uint32_t bits = std::clamp<std::uint32_t>(header.lineTypeBits[n], 1, 32);
    const std::uint32_t pattern = header.lineType[n];
    // One bit is the print pitch in tenths of a paper millimetre (1 to 100).
    const double unit = 0.1 * std::clamp<std::uint32_t>(header.lineTypePitch[n], 1, 1000);
    std::vector<double> dashes;
    bool on = true;
    double run = 0.0;
    for (std::uint32_t i = 0; i < bits; ++i) {
        const bool bit = ((pattern >> (31U - i)) & 1U) != 0;
        if (i == 0) on = bit;
        if (bit != on) {
            dashes.push_back(on ? run : -run);
            on = bit;
            run = 0.0;
        }
        run += unit;
    }
    dashes.push_back(on ? run : -run);
    if (dashes.size() == 1) return {};  // all on: solid (all off: shown solid too)
    if (dashes.front() < 0.0) std::rotate(dashes.begin(), dashes.begin() + 1, dashes.end());
    return dashes;
}

DashShape ShapeOfDashes(const std::vector<double>& dashes) {
    DashShape shape;
    double inked = 0.0;
    for (std::size_t i = 0; i < dashes.size(); ++i) {
        const double before = dashes[(i + dashes.size() - 1) % dashes.size()];
        if (dashes[i] >= 0.0 && before < 0.0) ++shape.marks;
        shape.period += std::abs(dashes[i]);
    }
    for (const double d : dashes) inked += d > 0.0 ? d : d == 0.0 ? 0.1 * shape.period : 0.0;
    shape.share = shape.period > 0.0 ? std::clamp(inked / shape.period, 1e-3, 1.0) : 1.0;
    return shape;
}

double DashDistance(const DashShape& a, const DashShape& b) {
    return 10.0 * std::abs(a.marks - b.marks) + std::abs(std::log(a.period / b.period)) +
           std::abs(std::log(a.share / b.share));
}

std::size_t JwwUnderlayWorkLimit(std::size_t fileBytes) noexcept {
    return std::min(kJwwUnderlayMaxWork,
                    kJwwUnderlayBaseWork + fileBytes / kJwwUnderlayBytesPerWork);
}

Underlay BuildUnderlay(const Header& header, const std::vector<Shape>& shapes,
                       const std::vector<Block>& blocks,
                       std::map<std::string, std::size_t>* shownKinds, UnderlayBudget* budget) {
    UnderlayBudget local;
    UnderlayBudget& spent = budget != nullptr ? *budget : local;
    Builder builder(header, blocks, shownKinds, spent);
    for (const Shape& shape : shapes) {
        // Past the limit the rest is not shown; a shape the limit cut short counts as left out.
        if (builder.Spent()) {
            ++spent.leftOut;
            continue;
        }
        builder.Add(shape, Placement{}, nullptr, 0);
        if (builder.Spent()) ++spent.leftOut;
    }
    return builder.Take();
}

}  // namespace pelimator::board::jww
