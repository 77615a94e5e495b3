// MLINE, XLINE and RAY in the underlay: a multiline's element lines from its vertices' miters
// and parameters, with the caps, miters and fill its style asks for; construction lines clipped
// to a box around the rest of the drawing once everything else is drawn.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_underlay_builder.h"

namespace pelimator::board::underlay {

namespace {

std::string Upper(std::string_view text) {
    std::string out(text);
    std::ranges::transform(out, out.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

// One vertex of a multiline: where it is, its segment's direction, its miter, and for each
// element the miter offset and the positions along the segment where the element's dashes start
// and stop (an odd count: the last dash runs to the segment's end).
struct MLineVertex {
    Vec2 at;
    Vec2 direction;
    Vec2 miter;
    std::vector<double> offsets;
    std::vector<std::vector<double>> breaks;
};

struct MLineRecord {
    std::string style;  // by handle (340), upper case
    std::string name;   // by name (2)
    std::int64_t flags = 0;
    std::vector<MLineVertex> vertices;
};

MLineRecord ReadMLine(const std::vector<Tag>& tags) {
    MLineRecord ml;
    std::int64_t pending = 0;  // 41s still to come for the current element
    for (const Tag& t : tags) {
        switch (t.code) {
            case 340:
                ml.style = Upper(t.text);
                break;
            case 2:
                ml.name = LayerKey(t.text);
                break;
            case 71:
                ml.flags = t.integer;
                break;
            case 11:
                ml.vertices.emplace_back().at.x = t.real;
                break;
            case 21:
                if (!ml.vertices.empty()) ml.vertices.back().at.y = t.real;
                break;
            case 12:
                if (!ml.vertices.empty()) ml.vertices.back().direction.x = t.real;
                break;
            case 22:
                if (!ml.vertices.empty()) ml.vertices.back().direction.y = t.real;
                break;
            case 13:
                if (!ml.vertices.empty()) ml.vertices.back().miter.x = t.real;
                break;
            case 23:
                if (!ml.vertices.empty()) ml.vertices.back().miter.y = t.real;
                break;
            case 74:
                if (!ml.vertices.empty()) {
                    MLineVertex& v = ml.vertices.back();
                    v.offsets.push_back(0.0);
                    v.breaks.emplace_back();
                    pending = t.integer;
                }
                break;
            case 41:
                if (!ml.vertices.empty() && pending > 0) {
                    ml.vertices.back().breaks.back().push_back(t.real);
                    --pending;
                }
                break;
            default:
                break;
        }
    }
    // The first parameter of an element is its miter offset, the rest its dashes.
    for (MLineVertex& v : ml.vertices) {
        for (std::size_t k = 0; k < v.breaks.size(); ++k) {
            if (v.breaks[k].empty()) continue;
            v.offsets[k] = v.breaks[k].front();
            v.breaks[k].erase(v.breaks[k].begin());
        }
    }
    return ml;
}

constexpr std::int64_t kMLineClosed = 2;
constexpr std::int64_t kMLineNoStartCaps = 4;
constexpr std::int64_t kMLineNoEndCaps = 8;
constexpr std::int64_t kStyleFill = 1;
constexpr std::int64_t kStyleMiters = 2;
constexpr std::int64_t kStyleStartSquare = 16;
constexpr std::int64_t kStyleStartInner = 32;
constexpr std::int64_t kStyleStartRound = 64;
constexpr std::int64_t kStyleEndSquare = 256;
constexpr std::int64_t kStyleEndInner = 512;
constexpr std::int64_t kStyleEndRound = 1024;

}  // namespace

void Builder::ReadMLineStyles() {
    m_mlineStylesRead = true;
    std::vector<Tag> tags;
    for (std::size_t r = m_source.objects.first; r < m_source.objects.last; ++r) {
        if (TypeOf(r) != "MLINESTYLE" || !Read(r, tags)) continue;
        MLineStyle style;
        std::string handle;
        std::string name;
        for (const Tag& t : tags) {
            if (t.code == 5) handle = Upper(t.text);
            if (t.code == 2) name = LayerKey(t.text);
            if (t.code == 70) style.flags = t.integer;
            if (t.code == 62 && style.elements.empty()) style.fill = t.integer;
            if (t.code == 49) style.elements.emplace_back().offset = t.real;
            if (t.code == 62 && !style.elements.empty()) style.elements.back().colour = t.integer;
            if (t.code == 6 && !style.elements.empty()) {
                style.elements.back().linetype = std::string(t.text);
            }
        }
        if (!name.empty()) m_mlineStyles.emplace("name:" + name, style);
        if (!handle.empty()) m_mlineStyles.emplace(std::move(handle), std::move(style));
    }
}

// A multiline's geometry: its vertices and where each element crosses each vertex's miter.
struct MLineShape {
    MLineRecord ml;
    bool closed = false;
    std::size_t n = 0;      // vertices
    std::size_t count = 0;  // elements
    [[nodiscard]] Vec2 Point(std::size_t i, std::size_t k) const {
        const MLineVertex& v = ml.vertices[i % n];
        return v.at + v.offsets[k] * v.miter;
    }
};

void Builder::MLine(const std::vector<Tag>& tags, const Affine& m, const Common& common,
                    const Resolved& res, const Context& ctx) {
    MLineShape shape{ReadMLine(tags)};
    shape.n = shape.ml.vertices.size();
    if (shape.n < 2) return;
    shape.count = shape.ml.vertices.front().offsets.size();
    for (const MLineVertex& v : shape.ml.vertices) {
        if (v.offsets.size() != shape.count) return;  // damaged: its elements cannot be told
    }
    shape.closed = (shape.ml.flags & kMLineClosed) != 0;
    if (!m_mlineStylesRead) ReadMLineStyles();
    auto found = m_mlineStyles.find(shape.ml.style);
    if (found == m_mlineStyles.end()) found = m_mlineStyles.find("name:" + shape.ml.name);
    // Without its style each element takes the entity's colour and linetype, no caps.
    const MLineStyle none;
    const MLineStyle& style = found != m_mlineStyles.end() ? found->second : none;
    const bool styled = style.elements.size() == shape.count;
    // Each element in its style's colour and linetype (BYBLOCK: the multiline's).
    std::vector<Resolved> look(shape.count, res);
    Context inner = ctx;
    inner.blockColour = res.colour;
    inner.blockLinetype = common.linetype;
    for (std::size_t k = 0; styled && k < shape.count; ++k) {
        Common own = common;
        own.colour = style.elements[k].colour;
        own.trueColour.reset();
        own.linetype = style.elements[k].linetype;
        look[k] = Resolve(own, inner);
    }
    MLineElements(shape, m, look);
    if (!styled || shape.count == 0) return;
    MLineEnds(shape, style, m, look);
    if ((style.flags & kStyleFill) != 0) {
        const std::size_t bottom = MLineOrder(style).front();
        const std::size_t top = MLineOrder(style).back();
        std::vector<Vec2> ring;
        for (std::size_t i = 0; i < shape.n; ++i) ring.push_back(m(shape.Point(i, bottom)));
        for (std::size_t i = shape.n; i-- > 0;) ring.push_back(m(shape.Point(i, top)));
        Common own = common;
        own.colour = style.fill;
        own.trueColour.reset();
        AddFill({ring}, Resolve(own, inner));
    }
}

std::vector<std::size_t> Builder::MLineOrder(const MLineStyle& style) {
    std::vector<std::size_t> order(style.elements.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::ranges::stable_sort(order, [&](std::size_t a, std::size_t b) {
        return style.elements[a].offset < style.elements[b].offset;
    });
    return order;
}

// The element lines: each segment from its vertex's miter point to the next's, cut by the
// segment's dashes; joined where nothing breaks them.
void Builder::MLineElements(const MLineShape& shape, const Affine& m,
                            const std::vector<Resolved>& look) {
    for (std::size_t k = 0; k < shape.count; ++k) {
        std::vector<Vec2> run;
        const auto flush = [&] {
            if (run.size() >= 2) AddPolyline(run, false, look[k]);
            run.clear();
        };
        for (std::size_t i = 0; i + 1 < shape.n + (shape.closed ? 1 : 0); ++i) {
            const Vec2 a = shape.Point(i, k);
            const Vec2 b = shape.Point(i + 1, k);
            const double length = Length(b - a);
            const Vec2 along = length > 0.0 ? (1.0 / length) * (b - a) : Vec2{};
            std::vector<double> marks = shape.ml.vertices[i].breaks[k];
            if (marks.empty()) marks.push_back(0.0);
            if (marks.size() % 2 == 1) marks.push_back(length);
            for (std::size_t j = 0; j + 1 < marks.size(); j += 2) {
                const double from = std::clamp(marks[j], 0.0, length);
                const double to = std::clamp(marks[j + 1], from, length);
                const Vec2 p = a + from * along;
                if (run.empty() || Length(run.back() - p) > 1e-9 * std::max(1.0, length)) {
                    flush();
                    run.push_back(m(p));
                    Snap(m(p), UnderlayPointKind::End, look[k]);
                }
                run.push_back(m(a + to * along));
                Snap(run.back(), UnderlayPointKind::End, look[k]);
            }
        }
        flush();
    }
}

// The caps the style asks for at the ends the multiline does not suppress, and its miters.
void Builder::MLineEnds(const MLineShape& shape, const MLineStyle& style, const Affine& m,
                        const std::vector<Resolved>& look) {
    const std::vector<std::size_t> order = MLineOrder(style);
    const std::size_t bottom = order.front();
    const std::size_t top = order.back();
    const auto across = [&](std::size_t i) {
        // A line across the miter, drawn from each outer element to the middle in its colour.
        const Vec2 mid = 0.5 * (shape.Point(i, top) + shape.Point(i, bottom));
        AddPolyline({m(shape.Point(i, top)), m(mid)}, false, look[top]);
        AddPolyline({m(shape.Point(i, bottom)), m(mid)}, false, look[bottom]);
    };
    const auto round = [&](std::size_t i, std::size_t from, std::size_t to) {
        // A half circle from one element's point to the other's, counter-clockwise; two quarters
        // when their colours differ.
        const Vec2 a = shape.Point(i, from);
        const Vec2 b = shape.Point(i, to);
        const Vec2 centre = 0.5 * (a + b);
        const double radius = 0.5 * Length(b - a);
        if (radius <= 0.0) return;
        const double start = std::atan2(a.y - centre.y, a.x - centre.x);
        const bool one = look[from].colour == look[to].colour;
        std::vector<Vec2> arc;
        ArcPoints(m, centre, radius, radius, 0.0, start, one ? kTwoPi / 2 : kTwoPi / 4, arc);
        AddPolyline(arc, false, look[from]);
        if (one) return;
        arc.clear();
        ArcPoints(m, centre, radius, radius, 0.0, start + kTwoPi / 4, kTwoPi / 4, arc);
        AddPolyline(arc, false, look[to]);
    };
    const bool inner = shape.count > 3;
    const std::size_t last = shape.n - 1;
    const std::int64_t flags = shape.ml.flags;
    if (!shape.closed && (flags & kMLineNoStartCaps) == 0) {
        if ((style.flags & kStyleStartSquare) != 0) across(0);
        if ((style.flags & kStyleStartRound) != 0) round(0, top, bottom);
        if ((style.flags & kStyleStartInner) != 0 && inner) {
            round(0, order[shape.count - 2], order[1]);
        }
    }
    if (!shape.closed && (flags & kMLineNoEndCaps) == 0) {
        if ((style.flags & kStyleEndSquare) != 0) across(last);
        if ((style.flags & kStyleEndRound) != 0) round(last, bottom, top);
        if ((style.flags & kStyleEndInner) != 0 && inner) {
            round(last, order[1], order[shape.count - 2]);
        }
    }
    if ((style.flags & kStyleMiters) != 0) {
        for (std::size_t i = shape.closed ? 0 : 1; i + 1 < shape.n; ++i) across(i);
        if (shape.closed) across(last);
    }
}

void Builder::InfiniteLine(const std::vector<Tag>& tags, const Affine& m, const Resolved& res,
                           bool ray, bool top) {
    Vec2 p;
    Vec2 d;
    for (const Tag& t : tags) {
        if (t.code == 10) p.x = t.real;
        if (t.code == 20) p.y = t.real;
        if (t.code == 11) d.x = t.real;
        if (t.code == 21) d.y = t.real;
    }
    const Vec2 at = m(p);
    const Vec2 towards = m.Vector(d);
    const double length = Length(towards);
    if (!Usable(at) || !(length > 0.0) || !std::isfinite(length)) return;
    Snap(at, UnderlayPointKind::End, res);
    m_infinite.push_back({at, (1.0 / length) * towards, ray, top, res.boardLayer, res.colour,
                          res.dash, res.byLayer, m_record});
}

void Builder::DrawInfiniteLines() {
    if (m_infinite.empty()) return;
    // The box of everything else the drawing shows: the board's own entities and what is drawn
    // beneath; grown by its larger side all round.
    Box box = m_where.boardExtents.value_or(Box{{1.0, 1.0}, {-1.0, -1.0}});
    const auto grow = [&box](Vec2 p) {
        if (box.min.x > box.max.x) {
            box = {p, p};
            return;
        }
        box.min = {std::min(box.min.x, p.x), std::min(box.min.y, p.y)};
        box.max = {std::max(box.max.x, p.x), std::max(box.max.y, p.y)};
    };
    for (const UnderlayItem& item : m_underlay.items) {
        if (item.kind == UnderlayKind::Text) {
            grow(m_underlay.texts[item.text].origin);
            continue;
        }
        for (std::uint32_t k = item.first; k < item.first + item.count; ++k) {
            grow(m_underlay.points[k]);
        }
    }
    const std::optional<Box> around =
        box.min.x <= box.max.x ? std::optional<Box>(box) : std::nullopt;
    for (const InfiniteRecord& line : m_infinite) {
        Vec2 a;
        Vec2 b;
        if (!CutUnboundedLine(line.at, line.direction, line.ray, around, a, b)) continue;
        Resolved res;
        res.boardLayer = line.layer;
        res.colour = line.colour;
        res.dash = line.dash;
        res.byLayer = line.byLayer;
        m_record = line.record;
        const std::size_t before = m_underlay.items.size();
        AddPolyline({a, b}, false, res);
        if (m_underlay.items.size() == before) continue;
        m_underlay.items.back().unbounded = true;
        m_underlay.items.back().ray = line.ray;
        if (line.top && m_shownKinds != nullptr) {
            ++(*m_shownKinds)[line.ray ? "RAY" : "XLINE"];
        }
    }
}

}  // namespace pelimator::board::underlay
