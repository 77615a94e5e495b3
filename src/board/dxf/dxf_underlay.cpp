// Building the underlay: the layer and linetype tables and the blocks are read from the kept
// records, then each model-space record the board did not take is flattened to polylines, fills,
// text runs and points, inserts expanded through their blocks.
#include "board/dxf/dxf_underlay.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <unordered_map>

#include "base/errors.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_file.h"
#include "board/dxf/dxf_names.h"

namespace pelimator::board {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Curves are flattened to chords within this share of their radius (and at most 720 a turn).
constexpr double kRelativeTolerance = 1e-3;
constexpr int kMaxCurveSegments = 720;
// Blocks nest at most this deep (a block that inserts itself stops here).
constexpr int kMaxDepth = 16;
// At most this many records are visited through inserts (arrays of nested blocks that draw
// little or nothing would otherwise take ages).
constexpr std::size_t kMaxVisits = 2'000'000;
// Work units (see DxfUnderlayBudget) of what is kept, in points' worth of memory (16 bytes): a
// drawn item with its box in the index, a text run besides its characters, a snap point with its
// index entry.
constexpr std::size_t kItemUnits = 8;
constexpr std::size_t kTextUnits = 6;
constexpr std::size_t kSnapUnits = 4;
// MTEXT lines are this many text heights apart at line spacing factor 1.
constexpr double kLineSpacing = 5.0 / 3.0;

// Whether a point can be drawn: coordinates beyond the reader's limit are damaged data (they
// would also spoil the extents that opening zooms to).
bool Usable(Vec2 p) noexcept {
    return std::abs(p.x) <= kDxfMaxCoordinate && std::abs(p.y) <= kDxfMaxCoordinate;
}

struct Tag {
    int code = 0;
    std::string_view text;
    double real = 0.0;
    std::int64_t integer = 0;
};

// x' = a x + b y + c, y' = d x + e y + f.
struct Affine {
    double a = 1, b = 0, c = 0, d = 0, e = 1, f = 0;
    [[nodiscard]] Vec2 operator()(Vec2 p) const noexcept {
        return {a * p.x + b * p.y + c, d * p.x + e * p.y + f};
    }
    [[nodiscard]] Vec2 Vector(Vec2 v) const noexcept {
        return {a * v.x + b * v.y, d * v.x + e * v.y};
    }
    [[nodiscard]] double Scale() const noexcept { return std::sqrt(std::abs(a * e - b * d)); }
    friend Affine operator*(const Affine& m, const Affine& n) noexcept {
        return {m.a * n.a + m.b * n.d, m.a * n.b + m.b * n.e, m.a * n.c + m.b * n.f + m.c,
                m.d * n.a + m.e * n.d, m.d * n.b + m.e * n.e, m.d * n.c + m.e * n.f + m.f};
    }
};

Affine Translate(Vec2 t) { return {1, 0, t.x, 0, 1, t.y}; }
Affine Rotate(double radians) {
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return {c, -s, 0, s, c, 0};
}
Affine ScaleBy(double sx, double sy) { return {sx, 0, 0, 0, sy, 0}; }
constexpr Affine kMirrorX{-1, 0, 0, 0, 1, 0};

struct LayerInfo {
    Rgb colour;
    std::string linetype;
    bool frozen = false;
};

struct Block {
    Vec2 base;
    std::vector<std::uint32_t> records;
};

// What an entity inherits from the inserts around it.
struct Context {
    Affine m;
    std::string_view layer = "0";  // the insert's layer (for entities on layer 0)
    Rgb blockColour{0, 0, 0};      // BYBLOCK
    std::string_view blockLinetype = "CONTINUOUS";
    int depth = 0;
};

// The properties an entity's common tags give.
struct Common {
    std::string_view layer = "0";
    int colour = 256;
    std::optional<std::int64_t> trueColour;
    std::string_view linetype = "BYLAYER";
    double linetypeScale = 1.0;
    bool paper = false;
    std::array<double, 3> extrusion{0.0, 0.0, 1.0};
};

class Builder {
public:
    Builder(const DxfSource& source, const DxfUnderlayRecords& where,
            const std::function<std::int32_t(std::string_view)>& layerOf,
            std::map<std::string, std::size_t>* shownKinds, DxfUnderlayBudget& budget)
        : m_s(source),
          m_where(where),
          m_layerOf(layerOf),
          m_shownKinds(shownKinds),
          m_budget(budget),
          m_reader(source.bytes, source.layout, source.fileName) {}

    Underlay Run() {
        if (m_where.header != kNoDxfRecord) ReadHeader(m_where.header);
        for (std::size_t r = m_where.tablesFirst; r < m_where.tablesLast; ++r) ReadTableRecord(r);
        ReadBlocks();
        m_u.paperSpace = m_u.paperSpace || m_where.paperEntities;
        const Context top;
        for (const std::uint32_t r : m_where.entities) {
            const bool spentBefore = m_spent;
            Entity(r, top, true);
            // What the limit cut short or skipped is named in the open report.
            const std::string_view type = spentBefore ? TypeOf(r) : m_topType;
            // The board draws polylines itself; only a width would be missing.
            if (m_spent && type != "LWPOLYLINE" && type != "POLYLINE") {
                ++m_budget.leftOut[std::string(type)];
            }
        }
        m_u.Finish();
        return std::move(m_u);
    }

private:
    // The tags of record r (its "0" tag first); false when it cannot be read.
    bool Read(std::size_t r, std::vector<Tag>& tags) {
        tags.clear();
        if (r + 1 >= m_s.records.size()) return false;
        const std::size_t end = m_s.records[r + 1];
        m_reader.Seek(m_s.records[r], 1);
        DxfTag tag;
        try {
            while (m_reader.Offset() < end && m_reader.Next(tag)) {
                tags.push_back({tag.code, TrimDxf(tag.value), tag.real, tag.integer});
            }
        } catch (const FileError&) {
            return false;
        }
        return !tags.empty();
    }

    [[nodiscard]] std::string Decode(std::string_view raw) const {
        return DecodeDxfString(raw, m_s.version, m_s.codePage);
    }

    [[nodiscard]] std::string_view TypeOf(std::size_t r) {
        if (r + 1 >= m_s.records.size()) return {};
        m_reader.Seek(m_s.records[r], 1);
        DxfTag tag;
        try {
            if (m_reader.Next(tag) && tag.code == 0) return TrimDxf(tag.value);
        } catch (const FileError&) {
        }
        return {};
    }

    void ReadHeader(std::size_t r) {
        std::vector<Tag> tags;
        if (!Read(r, tags)) return;
        std::string_view variable;
        for (const Tag& t : tags) {
            if (t.code == 9) variable = t.text;
            if (variable == "$LTSCALE" && t.code == 40 && t.real > 0.0) m_ltScale = t.real;
        }
    }

    void ReadTableRecord(std::size_t r) {
        std::vector<Tag>& tags = m_tags[0];
        if (!Read(r, tags)) return;
        const std::string_view type = tags.front().text;
        if (type == "LAYER") {
            std::string name;
            LayerInfo info;
            std::int64_t aci = 7;
            std::optional<std::int64_t> rgb;
            std::int64_t flags = 0;
            for (const Tag& t : tags) {
                if (t.code == 2) name = LayerKey(t.text);
                if (t.code == 62) aci = t.integer;
                if (t.code == 420) rgb = t.integer;
                if (t.code == 70) flags = t.integer;
                if (t.code == 6) info.linetype = LayerKey(t.text);
            }
            info.colour = rgb ? UnpackRgb(static_cast<std::int32_t>(*rgb))
                              : AciToRgb(static_cast<std::int32_t>(aci));
            info.frozen = (flags & 1) != 0;
            m_layers.emplace(std::move(name), std::move(info));
        } else if (type == "LTYPE") {
            std::string name;
            std::vector<double> pattern;
            for (const Tag& t : tags) {
                if (t.code == 2) name = LayerKey(t.text);
                if (t.code == 49) pattern.push_back(t.real);
            }
            const bool dashed =
                std::any_of(pattern.begin(), pattern.end(), [](double v) { return v < 0.0; });
            if (!dashed) return;
            m_linetypes.emplace(std::move(name), std::move(pattern));
        }
    }

    void ReadBlocks() {
        Block* block = nullptr;
        bool paper = false;
        for (std::size_t r = m_where.blocksFirst; r < m_where.blocksLast; ++r) {
            const std::string_view type = TypeOf(r);
            if (type == "BLOCK") {
                std::vector<Tag>& tags = m_tags[0];
                if (!Read(r, tags)) continue;
                std::string name;
                Vec2 base;
                for (const Tag& t : tags) {
                    if (t.code == 2) name = LayerKey(t.text);
                    if (t.code == 10) base.x = t.real;
                    if (t.code == 20) base.y = t.real;
                }
                paper = name.starts_with("*PAPER_SPACE");
                block = &m_blocks[name];
                block->base = base;
            } else if (type == "ENDBLK") {
                block = nullptr;
            } else if (block != nullptr && type != "VERTEX" && type != "SEQEND" &&
                       type != "ATTRIB" && type != "ATTDEF") {
                block->records.push_back(static_cast<std::uint32_t>(r));
                if (paper) m_u.paperSpace = true;
            }
        }
    }

    [[nodiscard]] const LayerInfo* Layer(std::string_view name) const {
        const auto found = m_layers.find(LayerKey(name));
        return found == m_layers.end() ? nullptr : &found->second;
    }

    static Common ReadCommon(const std::vector<Tag>& tags) {
        Common c;
        for (const Tag& t : tags) {
            switch (t.code) {
                case 8:
                    c.layer = t.text;
                    break;
                case 62:
                    c.colour = static_cast<int>(t.integer);
                    break;
                case 420:
                    c.trueColour = t.integer;
                    break;
                case 6:
                    c.linetype = t.text;
                    break;
                case 48:
                    c.linetypeScale = t.real;
                    break;
                case 67:
                    c.paper = t.integer != 0;
                    break;
                case 210:
                    c.extrusion[0] = t.real;
                    break;
                case 220:
                    c.extrusion[1] = t.real;
                    break;
                case 230:
                    c.extrusion[2] = t.real;
                    break;
                default:
                    break;
            }
        }
        return c;
    }

    // The entity's properties resolved against its context.
    struct Resolved {
        std::string_view layer;
        std::int32_t boardLayer = 0;
        Rgb colour;
        std::uint32_t dash = kNoUnderlayIndex;
        bool frozen = false;  // on a frozen layer
    };

    Resolved Resolve(const Common& c, const Context& ctx) {
        Resolved r;
        r.layer = c.layer.empty() || c.layer == "0" ? ctx.layer : c.layer;
        const LayerInfo* layer = Layer(r.layer);
        r.frozen = layer != nullptr && layer->frozen;
        r.boardLayer = m_layerOf(r.layer);
        const Rgb layerColour = layer != nullptr ? layer->colour : Rgb{};
        if (c.trueColour) {
            r.colour = UnpackRgb(static_cast<std::int32_t>(*c.trueColour));
        } else if (c.colour == 0) {
            r.colour = ctx.blockColour;
        } else if (c.colour == 256 || c.colour < 0 || c.colour > 256) {
            r.colour = layerColour;
        } else {
            r.colour = AciToRgb(c.colour);
        }
        std::string key = LayerKey(c.linetype);
        if (key == "BYLAYER") key = layer != nullptr ? layer->linetype : "";
        if (key == "BYBLOCK") key = LayerKey(ctx.blockLinetype);
        const auto type = m_linetypes.find(key);
        if (type != m_linetypes.end()) {
            const double scale =
                m_ltScale * (c.linetypeScale > 0.0 ? c.linetypeScale : 1.0) * ctx.m.Scale();
            r.dash = DashIndex(type->second, scale);
        }
        return r;
    }

    std::uint32_t DashIndex(const std::vector<double>& pattern, double scale) {
        std::vector<double> scaled;
        scaled.reserve(pattern.size());
        for (const double v : pattern) scaled.push_back(v * scale);
        for (std::size_t i = m_u.dashes.size(); i-- > 0 && i + 8 >= m_u.dashes.size();) {
            if (m_u.dashes[i] == scaled) return static_cast<std::uint32_t>(i);
        }
        m_u.dashes.push_back(std::move(scaled));
        return static_cast<std::uint32_t>(m_u.dashes.size() - 1);
    }

    // Takes work units from the budget; false (and nothing taken) once it cannot give them, and
    // from then on for everything: the rest of the drawing stays in the file, unshown.
    [[nodiscard]] bool Spend(std::size_t units) {
        if (!m_spent && units <= m_budget.limit - m_budget.used) {
            m_budget.used += units;
            return true;
        }
        m_spent = true;
        ++m_u.dropped;
        return false;
    }

    UnderlayItem& AddItem(UnderlayKind kind, const Resolved& r) {
        UnderlayItem& item = m_u.items.emplace_back();
        item.kind = kind;
        item.layer = r.boardLayer;
        item.colour = r.colour;
        item.dash = r.dash;
        item.first = static_cast<std::uint32_t>(m_u.points.size());
        return item;
    }

    void Snap(Vec2 p, UnderlayPointKind kind, const Resolved& r) {
        if (Usable(p) && Spend(kSnapUnits)) m_u.snapPoints.push_back({p, kind, r.boardLayer});
    }

    // A polyline through points already mapped to the drawing.
    void AddPolyline(const std::vector<Vec2>& pts, bool closed, const Resolved& r,
                     double width = 0.0) {
        if (pts.size() < 2 || !Spend(pts.size() + kItemUnits)) return;
        for (const Vec2& p : pts) {
            if (!Usable(p)) return;
        }
        UnderlayItem& item = AddItem(UnderlayKind::Polyline, r);
        item.closed = closed;
        item.width = static_cast<float>(width);
        m_u.points.insert(m_u.points.end(), pts.begin(), pts.end());
        item.count = static_cast<std::uint32_t>(pts.size());
    }

    void AddFill(const std::vector<std::vector<Vec2>>& rings, const Resolved& r) {
        std::size_t count = 0;
        for (const auto& ring : rings) count += ring.size();
        if (!Spend(count + kItemUnits)) return;
        UnderlayItem& item = AddItem(UnderlayKind::Fill, r);
        item.rings = static_cast<std::uint32_t>(m_u.ringEnds.size());
        for (const auto& ring : rings) {
            if (ring.size() < 3 || !std::all_of(ring.begin(), ring.end(), Usable)) continue;
            m_u.points.insert(m_u.points.end(), ring.begin(), ring.end());
            m_u.ringEnds.push_back(static_cast<std::uint32_t>(m_u.points.size() - item.first));
            ++item.ringCount;
        }
        item.count = static_cast<std::uint32_t>(m_u.points.size() - item.first);
        if (item.ringCount == 0) m_u.items.pop_back();
    }

    // Points of an arc about centre (in the entity's plane, mapped by m), sweep in radians
    // (negative: clockwise), flattened within the tolerance.
    static void ArcPoints(const Affine& m, Vec2 centre, double rx, double ry, double rotation,
                          double start, double sweep, std::vector<Vec2>& out) {
        const double radius = std::max(rx, ry) * m.Scale();
        int n = kMaxCurveSegments;
        if (radius > 0.0) {
            const double step = 2.0 * std::acos(std::max(-1.0, 1.0 - kRelativeTolerance));
            n = static_cast<int>(std::ceil(std::abs(sweep) / step));
        }
        n = std::clamp(n, 4, kMaxCurveSegments);
        const double c = std::cos(rotation);
        const double s = std::sin(rotation);
        for (int i = 0; i <= n; ++i) {
            const double t = start + sweep * i / n;
            const Vec2 local{rx * std::cos(t), ry * std::sin(t)};
            out.push_back(m(centre + Vec2{c * local.x - s * local.y, s * local.x + c * local.y}));
        }
    }

    // Appends a bulged segment a-b (not including a) in the entity's plane.
    static void BulgePoints(const Affine& m, Vec2 a, Vec2 b, double bulge, std::vector<Vec2>& out) {
        if (std::abs(bulge) < 1e-12 || a == b) {
            out.push_back(m(b));
            return;
        }
        const double theta = 4.0 * std::atan(bulge);
        const Vec2 chord = b - a;
        const double d = Length(chord);
        const Vec2 left{-chord.y / d, chord.x / d};
        const Vec2 centre = 0.5 * (a + b) + left * (0.5 * d / std::tan(0.5 * theta));
        const double radius = 0.5 * d / std::abs(std::sin(0.5 * theta));
        const double start = std::atan2(a.y - centre.y, a.x - centre.x);
        std::vector<Vec2> arc;
        ArcPoints(m, centre, radius, radius, 0.0, start, theta, arc);
        out.insert(out.end(), arc.begin() + 1, arc.end());
    }

    // The entity plane's map: ctx's, mirrored for an entity seen from below; none when tilted.
    static std::optional<Affine> Plane(const Common& c, const Affine& m) {
        const auto& z = c.extrusion;
        if (std::abs(z[0]) > 1e-9 || std::abs(z[1]) > 1e-9 || z[2] == 0.0) return std::nullopt;
        return z[2] < 0.0 ? m * kMirrorX : m;
    }

    void Entity(std::size_t r, const Context& ctx, bool top) {
        if (ctx.depth > kMaxDepth) return;
        if (++m_visits > kMaxVisits) {
            m_spent = true;
            ++m_u.dropped;
            return;
        }
        if (!Spend(1)) return;
        // Block contents are read once and kept: inserts visit them again and again.
        const std::vector<Tag>* cached = nullptr;
        if (!top) {
            auto found = m_blockTags.find(static_cast<std::uint32_t>(r));
            if (found == m_blockTags.end()) {
                std::vector<Tag> read;
                if (!Read(r, read)) read.clear();
                found = m_blockTags.emplace(static_cast<std::uint32_t>(r), std::move(read)).first;
            }
            cached = &found->second;
        } else {
            std::vector<Tag>& read = m_tags[static_cast<std::size_t>(ctx.depth)];
            if (!Read(r, read)) return;
            cached = &read;
        }
        const std::vector<Tag>& tags = *cached;
        if (tags.empty()) return;
        const std::string_view type = tags.front().text;
        if (top) m_topType = type;
        const Common common = ReadCommon(tags);
        if (top && common.paper) {
            m_u.paperSpace = true;
            return;
        }
        const Resolved res = Resolve(common, ctx);
        // Items follow their board layer's visibility; an insert on a frozen layer is hidden
        // whole, its entities on other layers too, as CAD programs do.
        if (res.frozen && (type == "INSERT" || type == "DIMENSION")) return;
        const auto plane = Plane(common, ctx.m);
        const std::size_t before = m_u.items.size();
        Draw(r, type, tags, plane, common, res, ctx, top);
        if (top && m_shownKinds != nullptr && m_u.items.size() > before && type != "LWPOLYLINE" &&
            type != "POLYLINE") {
            ++(*m_shownKinds)[std::string(type)];
        }
    }

    void Draw(std::size_t r, std::string_view type, const std::vector<Tag>& tags,
              const std::optional<Affine>& plane, const Common& common, const Resolved& res,
              const Context& ctx, bool top) {
        if (type == "LINE") {
            Line(tags, ctx.m, res);
        } else if (type == "POINT") {
            PointEntity(tags, ctx.m, res);
        } else if (type == "SPLINE") {
            Spline(tags, ctx.m, res);
        } else if (type == "ELLIPSE") {
            Ellipse(tags, ctx.m, res);
        } else if (type == "LEADER") {
            Leader(tags, ctx.m, res);
        } else if (type == "3DFACE") {
            Corners(tags, ctx.m, res, false);
        } else if (!plane) {
            return;  // tilted out of the drawing plane
        } else if (type == "ARC" || type == "CIRCLE") {
            Circle(tags, *plane, res, type == "CIRCLE");
        } else if (type == "LWPOLYLINE") {
            LwPolyline(tags, *plane, res, top);
        } else if (type == "POLYLINE") {
            Polyline(r, tags, *plane, ctx.m, res, top);
        } else if (type == "TEXT" || type == "ATTRIB") {
            Text(tags, *plane, res, type == "ATTRIB");
        } else if (type == "MTEXT") {
            MText(tags, ctx.m, res);
        } else if (type == "SOLID" || type == "TRACE") {
            Corners(tags, *plane, res, true);
        } else if (type == "HATCH") {
            Hatch(tags, *plane, res);
        } else if (type == "INSERT") {
            Insert(r, tags, *plane, common, res, ctx);
        } else if (type == "DIMENSION") {
            Dimension(tags, *plane, res, ctx);
        }
    }

    void Line(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
        Vec2 a;
        Vec2 b;
        for (const Tag& t : tags) {
            if (t.code == 10) a.x = t.real;
            if (t.code == 20) a.y = t.real;
            if (t.code == 11) b.x = t.real;
            if (t.code == 21) b.y = t.real;
        }
        AddPolyline({m(a), m(b)}, false, r);
        Snap(m(a), UnderlayPointKind::End, r);
        Snap(m(b), UnderlayPointKind::End, r);
        Snap(m(0.5 * (a + b)), UnderlayPointKind::Mid, r);
    }

    void PointEntity(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
        Vec2 p;
        for (const Tag& t : tags) {
            if (t.code == 10) p.x = t.real;
            if (t.code == 20) p.y = t.real;
        }
        if (!Usable(m(p)) || !Spend(1 + kItemUnits)) return;
        UnderlayItem& item = AddItem(UnderlayKind::Point, r);
        m_u.points.push_back(m(p));
        item.count = 1;
        Snap(m(p), UnderlayPointKind::End, r);
    }

    void Circle(const std::vector<Tag>& tags, const Affine& m, const Resolved& r, bool full) {
        Vec2 centre;
        double radius = 0.0;
        double a1 = 0.0;
        double a2 = 360.0;
        for (const Tag& t : tags) {
            if (t.code == 10) centre.x = t.real;
            if (t.code == 20) centre.y = t.real;
            if (t.code == 40) radius = t.real;
            if (t.code == 50) a1 = t.real;
            if (t.code == 51) a2 = t.real;
        }
        if (!(radius > 0.0) || !std::isfinite(radius)) return;
        double sweep = full ? 360.0 : std::fmod(a2 - a1, 360.0);
        if (sweep <= 0.0) sweep += 360.0;
        std::vector<Vec2> pts;
        ArcPoints(m, centre, radius, radius, 0.0, full ? 0.0 : a1 * kDegree, sweep * kDegree, pts);
        AddPolyline(pts, full, r);
        Snap(m(centre), UnderlayPointKind::Centre, r);
        if (!full) {
            Snap(pts.front(), UnderlayPointKind::End, r);
            Snap(pts.back(), UnderlayPointKind::End, r);
            const double mid = (a1 + 0.5 * sweep) * kDegree;
            Snap(m(centre + radius * Vec2{std::cos(mid), std::sin(mid)}), UnderlayPointKind::Mid,
                 r);
        }
    }

    void Ellipse(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
        Vec2 centre;
        Vec2 major;
        double ratio = 1.0;
        double p1 = 0.0;
        double p2 = kTwoPi;
        for (const Tag& t : tags) {
            if (t.code == 10) centre.x = t.real;
            if (t.code == 20) centre.y = t.real;
            if (t.code == 11) major.x = t.real;
            if (t.code == 21) major.y = t.real;
            if (t.code == 40) ratio = t.real;
            if (t.code == 41) p1 = t.real;
            if (t.code == 42) p2 = t.real;
            if (t.code == 230 && t.real < 0.0) {
                // Seen from below: the parameters run the other way.
                std::swap(p1, p2);
                p1 = -p1;
                p2 = -p2;
            }
        }
        const double rx = Length(major);
        if (!(rx > 0.0) || !(ratio > 0.0) || !std::isfinite(rx)) return;
        double sweep = std::fmod(p2 - p1, kTwoPi);
        if (sweep <= 1e-12) sweep += kTwoPi;
        const bool full = std::abs(sweep - kTwoPi) < 1e-9;
        std::vector<Vec2> pts;
        ArcPoints(m, centre, rx, rx * ratio, std::atan2(major.y, major.x), p1, sweep, pts);
        AddPolyline(pts, full, r);
        Snap(m(centre), UnderlayPointKind::Centre, r);
        if (!full) {
            Snap(pts.front(), UnderlayPointKind::End, r);
            Snap(pts.back(), UnderlayPointKind::End, r);
        }
    }

    // LWPOLYLINE: at the top level the board draws its segments; only a width is added here.
    // Start and end width of the segment leaving each vertex.
    using Widths = std::vector<std::pair<double, double>>;

    void LwPolyline(const std::vector<Tag>& tags, const Affine& m, const Resolved& r, bool top) {
        std::vector<Vec2> local;
        std::vector<double> bulges;
        Widths widths;
        double constant = 0.0;
        bool closed = false;
        for (const Tag& t : tags) {
            switch (t.code) {
                case 10:
                    local.push_back({t.real, 0.0});
                    bulges.push_back(0.0);
                    widths.emplace_back(-1.0, -1.0);
                    break;
                case 20:
                    if (!local.empty()) local.back().y = t.real;
                    break;
                case 42:
                    if (!bulges.empty()) bulges.back() = t.real;
                    break;
                case 40:
                    if (!widths.empty()) widths.back().first = t.real;
                    break;
                case 41:
                    if (!widths.empty()) widths.back().second = t.real;
                    break;
                case 43:
                    constant = t.real;
                    break;
                case 70:
                    closed = (t.integer & 1) != 0;
                    break;
                default:
                    break;
            }
        }
        // The constant width stands for vertices that give none.
        for (auto& [start, end] : widths) {
            if (start < 0.0) start = constant;
            if (end < 0.0) end = constant;
        }
        PolylineOf(local, bulges, closed, m, r, widths, top);
    }

    // A polyline with its widths: one item when it is thin or evenly wide; else (besides the
    // centre line in a block) each wide segment: straight tapers as filled quadrilaterals, the
    // others at their larger width. At the top level the board draws the centre line.
    void PolylineOf(const std::vector<Vec2>& local, const std::vector<double>& bulges, bool closed,
                    const Affine& m, const Resolved& r, const Widths& widths, bool top) {
        if (local.size() < 2) return;
        const std::size_t n = local.size();
        const std::size_t segments = closed ? n : n - 1;
        bool even = true;
        double wide = 0.0;
        for (std::size_t i = 0; i < segments; ++i) {
            even =
                even && widths[i].first == widths[0].first && widths[i].second == widths[0].first;
            wide = std::max({wide, widths[i].first, widths[i].second});
        }
        if (top && !(wide > 0.0)) return;
        std::vector<Vec2> pts{m(local.front())};
        for (std::size_t i = 0; i < segments; ++i) {
            BulgePoints(m, local[i], local[(i + 1) % n], bulges[i], pts);
            if (!top) {
                Snap(m(local[i]), UnderlayPointKind::End, r);
                if (std::abs(bulges[i]) < 1e-12) {
                    Snap(m(0.5 * (local[i] + local[(i + 1) % n])), UnderlayPointKind::Mid, r);
                }
            }
        }
        if (!top) Snap(m(local.back()), UnderlayPointKind::End, r);
        if (closed) pts.pop_back();
        const double scale = m.Scale();
        if (even) {
            AddPolyline(pts, closed, r, widths[0].first * scale);
            return;
        }
        if (!top) AddPolyline(pts, closed, r);
        for (std::size_t i = 0; i < segments; ++i) {
            const auto [w0, w1] = widths[i];
            if (!(std::max(w0, w1) > 0.0)) continue;
            const Vec2 a = local[i];
            const Vec2 b = local[(i + 1) % n];
            if (w0 != w1 && std::abs(bulges[i]) < 1e-12 && a != b) {
                const Vec2 d = (1.0 / Distance(a, b)) * (b - a);
                const Vec2 side{-d.y, d.x};
                AddFill({{m(a + 0.5 * w0 * side), m(b + 0.5 * w1 * side), m(b - 0.5 * w1 * side),
                          m(a - 0.5 * w0 * side)}},
                        r);
                continue;
            }
            std::vector<Vec2> piece{m(a)};
            BulgePoints(m, a, b, bulges[i], piece);
            AddPolyline(piece, false, r, std::max(w0, w1) * scale);
        }
    }

    void Polyline(std::size_t r, const std::vector<Tag>& tags, const Affine& plane,
                  const Affine& flat, const Resolved& res, bool top) {
        std::int64_t flags = 0;
        double start = 0.0;
        double end = 0.0;
        for (const Tag& t : tags) {
            if (t.code == 70) flags = t.integer;
            if (t.code == 40) start = t.real;
            if (t.code == 41) end = t.real;
        }
        if ((flags & (16 | 64)) != 0) return;  // meshes
        std::vector<Vec2> local;
        std::vector<double> bulges;
        Widths widths;
        std::vector<Tag> vertex;
        for (std::size_t v = r + 1; v + 1 < m_s.records.size(); ++v) {
            if (TypeOf(v) != "VERTEX" || !Read(v, vertex)) break;
            Vec2 p;
            double bulge = 0.0;
            std::pair<double, double> width{start, end};
            for (const Tag& t : vertex) {
                if (t.code == 10) p.x = t.real;
                if (t.code == 20) p.y = t.real;
                if (t.code == 42) bulge = t.real;
                if (t.code == 40) width.first = t.real;
                if (t.code == 41) width.second = t.real;
            }
            local.push_back(p);
            bulges.push_back(bulge);
            widths.push_back(width);
        }
        const bool flat3d = (flags & 8) != 0;
        // A 3-D polyline is not the board's: it is drawn here whole, without widths.
        if (flat3d) widths.assign(local.size(), {0.0, 0.0});
        PolylineOf(local, bulges, (flags & 1) != 0, flat3d ? flat : plane, res, widths,
                   top && !flat3d);
    }

    void Corners(const std::vector<Tag>& tags, const Affine& m, const Resolved& r, bool filled) {
        std::array<Vec2, 4> p{};
        for (const Tag& t : tags) {
            if (t.code >= 10 && t.code <= 13) p[static_cast<std::size_t>(t.code - 10)].x = t.real;
            if (t.code >= 20 && t.code <= 23) p[static_cast<std::size_t>(t.code - 20)].y = t.real;
        }
        // SOLID and TRACE give their corners in the order 1 2 4 3.
        std::vector<Vec2> ring = filled ? std::vector<Vec2>{m(p[0]), m(p[1]), m(p[3]), m(p[2])}
                                        : std::vector<Vec2>{m(p[0]), m(p[1]), m(p[2]), m(p[3])};
        if (filled) {
            AddFill({ring}, r);
        } else {
            AddPolyline(ring, true, r);
        }
        for (const Vec2& q : ring) Snap(q, UnderlayPointKind::End, r);
    }

    void Leader(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
        std::vector<Vec2> local;
        bool arrow = true;
        for (const Tag& t : tags) {
            if (t.code == 10) local.push_back({t.real, 0.0});
            if (t.code == 20 && !local.empty()) local.back().y = t.real;
            if (t.code == 71) arrow = t.integer != 0;
        }
        std::vector<Vec2> pts;
        for (const Vec2& q : local) pts.push_back(m(q));
        AddPolyline(pts, false, r);
        for (const Vec2& q : pts) Snap(q, UnderlayPointKind::End, r);
        if (arrow && pts.size() >= 2 && pts[0] != pts[1]) {
            const Vec2 d = (pts[1] - pts[0]) * (1.0 / Distance(pts[0], pts[1]));
            const double size = std::min(2.5 * m.Scale(), 0.5 * Distance(pts[0], pts[1]));
            const Vec2 side{-d.y, d.x};
            const Vec2 back = pts[0] + size * d;
            AddFill({{pts[0], back + (size / 6.0) * side, back - (size / 6.0) * side}}, r);
        }
    }

    void Spline(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
        int degree = 3;
        std::vector<double> knots;
        std::vector<double> weights;
        std::vector<Vec2> control;
        std::vector<Vec2> fit;
        bool closed = false;
        for (const Tag& t : tags) {
            switch (t.code) {
                case 70:
                    closed = (t.integer & 1) != 0;
                    break;
                case 71:
                    degree = static_cast<int>(t.integer);
                    break;
                case 40:
                    knots.push_back(t.real);
                    break;
                case 41:
                    weights.push_back(t.real);
                    break;
                case 10:
                    control.push_back({t.real, 0.0});
                    break;
                case 20:
                    if (!control.empty()) control.back().y = t.real;
                    break;
                case 11:
                    fit.push_back({t.real, 0.0});
                    break;
                case 21:
                    if (!fit.empty()) fit.back().y = t.real;
                    break;
                default:
                    break;
            }
        }
        std::vector<Vec2> pts;
        const std::size_t n = control.size();
        const auto p = static_cast<std::size_t>(std::max(1, degree));
        if (n > p && knots.size() == n + p + 1) {
            if (weights.size() != n) weights.assign(n, 1.0);
            double length = 0.0;
            for (std::size_t i = 0; i + 1 < n; ++i) length += Distance(control[i], control[i + 1]);
            for (std::size_t span = p; span < n; ++span) {
                if (!(knots[span + 1] > knots[span])) continue;
                double spanLength = 0.0;
                for (std::size_t i = span - p; i < span; ++i) {
                    spanLength += Distance(control[i], control[i + 1]);
                }
                // Finer where the span is long against the whole.
                const int steps = std::clamp(
                    static_cast<int>(8.0 + 64.0 * spanLength / std::max(length, 1e-300)), 8, 128);
                for (int k = pts.empty() ? 0 : 1; k <= steps; ++k) {
                    const double u = knots[span] + (knots[span + 1] - knots[span]) * k / steps;
                    pts.push_back(m(DeBoor(span, u, p, knots, control, weights)));
                }
            }
            if (!pts.empty()) {
                Snap(pts.front(), UnderlayPointKind::End, r);
                Snap(pts.back(), UnderlayPointKind::End, r);
            }
        } else if (fit.size() >= 2) {
            for (const Vec2& q : ThroughFitPoints(fit)) pts.push_back(m(q));
            Snap(pts.front(), UnderlayPointKind::End, r);
            Snap(pts.back(), UnderlayPointKind::End, r);
        }
        AddPolyline(pts, closed && !pts.empty() && pts.front() == pts.back() ? false : closed, r);
    }

    // A curve through fit points: a natural cubic spline in each coordinate over the chord
    // lengths, 16 points a span.
    static std::vector<Vec2> ThroughFitPoints(const std::vector<Vec2>& fit) {
        const std::size_t n = fit.size();
        if (n < 3) return fit;
        std::vector<double> h(n - 1);
        for (std::size_t i = 0; i + 1 < n; ++i)
            h[i] = std::max(Distance(fit[i], fit[i + 1]), 1e-12);
        // Second derivatives by the tridiagonal system (Thomas algorithm), zero at both ends.
        std::vector<Vec2> second(n);
        std::vector<double> diagonal(n, 1.0);
        std::vector<double> upper(n, 0.0);
        std::vector<Vec2> rhs(n);
        for (std::size_t i = 1; i + 1 < n; ++i) {
            diagonal[i] = 2.0 * (h[i - 1] + h[i]);
            upper[i] = h[i];
            rhs[i] = 6.0 * ((1.0 / h[i]) * (fit[i + 1] - fit[i]) -
                            (1.0 / h[i - 1]) * (fit[i] - fit[i - 1]));
        }
        for (std::size_t i = 2; i + 1 < n; ++i) {
            const double w = h[i - 1] / diagonal[i - 1];
            diagonal[i] -= w * upper[i - 1];
            rhs[i] = rhs[i] - w * rhs[i - 1];
        }
        for (std::size_t i = n - 1; i-- > 1;) {
            second[i] = (1.0 / diagonal[i]) * (rhs[i] - upper[i] * second[i + 1]);
        }
        std::vector<Vec2> out{fit.front()};
        constexpr int kSteps = 16;
        for (std::size_t i = 0; i + 1 < n; ++i) {
            for (int k = 1; k <= kSteps; ++k) {
                const double t = h[i] * k / kSteps;
                const double a = (h[i] - t) / h[i];
                const double b = t / h[i];
                out.push_back(a * fit[i] + b * fit[i + 1] +
                              ((a * a * a - a) * h[i] * h[i] / 6.0) * second[i] +
                              ((b * b * b - b) * h[i] * h[i] / 6.0) * second[i + 1]);
            }
        }
        return out;
    }

    // The point of a rational B-spline at u in knot span `span` (de Boor's algorithm).
    static Vec2 DeBoor(std::size_t span, double u, std::size_t p, const std::vector<double>& t,
                       const std::vector<Vec2>& c, const std::vector<double>& w) {
        std::array<std::array<double, 3>, 16> d{};
        const std::size_t q = std::min<std::size_t>(p, 15);
        for (std::size_t j = 0; j <= q; ++j) {
            const std::size_t i = span - q + j;
            d[j] = {c[i].x * w[i], c[i].y * w[i], w[i]};
        }
        for (std::size_t rr = 1; rr <= q; ++rr) {
            for (std::size_t j = q; j >= rr; --j) {
                const std::size_t i = span - q + j;
                const double denom = t[i + q + 1 - rr] - t[i];
                const double alpha = denom > 0.0 ? (u - t[i]) / denom : 0.0;
                for (std::size_t k = 0; k < 3; ++k) {
                    d[j][k] = (1.0 - alpha) * d[j - 1][k] + alpha * d[j][k];
                }
            }
        }
        const double weight = d[q][2] != 0.0 ? d[q][2] : 1.0;
        return {d[q][0] / weight, d[q][1] / weight};
    }

    void Text(const std::vector<Tag>& tags, const Affine& m, const Resolved& r, bool attrib) {
        std::string raw;
        Vec2 p10;
        Vec2 p11;
        bool has11 = false;
        double height = 1.0;
        double widthFactor = 1.0;
        double rotation = 0.0;
        double oblique = 0.0;
        std::int64_t generation = 0;
        std::int64_t h = 0;
        std::int64_t v = 0;
        for (const Tag& t : tags) {
            switch (t.code) {
                case 1:
                    raw = t.text;
                    break;
                case 10:
                    p10.x = t.real;
                    break;
                case 20:
                    p10.y = t.real;
                    break;
                case 11:
                    p11.x = t.real;
                    has11 = true;
                    break;
                case 21:
                    p11.y = t.real;
                    break;
                case 40:
                    height = t.real;
                    break;
                case 41:
                    widthFactor = t.real;
                    break;
                case 50:
                    rotation = t.real * kDegree;
                    break;
                case 51:
                    oblique = t.real * kDegree;
                    break;
                case 70:
                    if (attrib && (t.integer & 1) != 0) return;  // invisible attribute
                    break;
                case 71:
                    generation = t.integer;
                    break;
                case 72:
                    h = t.integer;
                    break;
                case 73:
                    if (!attrib) v = t.integer;
                    break;
                case 74:
                    if (attrib) v = t.integer;
                    break;
                default:
                    break;
            }
        }
        if (!(height > 0.0) || !std::isfinite(height) || raw.empty()) return;
        if (!(widthFactor > 0.0)) widthFactor = 1.0;
        UnderlayText text;
        text.utf8 = TextSpecials(Decode(raw));
        const bool aligned = h == 3 || h == 5;
        const bool plain = h == 0 && v == 0;
        Vec2 origin = plain || !has11 ? p10 : p11;
        Vec2 xAxis = height * widthFactor * Vec2{std::cos(rotation), std::sin(rotation)};
        Vec2 yAxis = height * Vec2{-std::sin(rotation) + std::tan(oblique) * std::cos(rotation),
                                   std::cos(rotation) + std::tan(oblique) * std::sin(rotation)};
        if (aligned && has11 && p10 != p11) {
            // Between the two points along their direction; "aligned" keeps the proportions.
            const double angle = std::atan2(p11.y - p10.y, p11.x - p10.x);
            const double length = Distance(p10, p11);
            const Vec2 along{std::cos(angle), std::sin(angle)};
            const Vec2 up{-along.y, along.x};
            double hgt = height;
            if (h == 3) hgt = length / std::max(EstimatedAdvance(text.utf8), 1e-9) / widthFactor;
            xAxis = hgt * widthFactor * along;
            yAxis = hgt * up;
            origin = p10;
            text.fitWidth = length / (hgt * widthFactor);
        } else {
            text.hAlign = static_cast<std::uint8_t>(h == 4 ? 1 : std::clamp<std::int64_t>(h, 0, 2));
            text.vAlign = static_cast<std::uint8_t>(h == 4 ? 2 : std::clamp<std::int64_t>(v, 0, 3));
        }
        if ((generation & 2) != 0) xAxis = -1.0 * xAxis;
        if ((generation & 4) != 0) yAxis = -1.0 * yAxis;
        AddText(std::move(text), m, origin, xAxis, yAxis, r);
    }

    void AddText(UnderlayText text, const Affine& m, Vec2 origin, Vec2 xAxis, Vec2 yAxis,
                 const Resolved& r) {
        // A character's box is what the painter lays out.
        if (text.utf8.empty() || !Spend(text.utf8.size() + kTextUnits + kItemUnits)) return;
        text.origin = m(origin);
        text.xAxis = m.Vector(xAxis);
        text.yAxis = m.Vector(yAxis);
        if (!Usable(text.origin) || !Usable(text.xAxis) || !Usable(text.yAxis)) return;
        Snap(text.origin, UnderlayPointKind::Insertion, r);
        UnderlayItem& item = AddItem(UnderlayKind::Text, r);
        item.text = static_cast<std::uint32_t>(m_u.texts.size());
        m_u.texts.push_back(std::move(text));
    }

    void MText(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
        std::string raw;
        std::string tail;
        Vec2 p10;
        Vec2 direction{1.0, 0.0};
        bool hasDirection = false;
        double height = 1.0;
        double rotation = 0.0;
        double spacing = 1.0;
        double boxWidth = 0.0;
        std::int64_t attachment = 1;
        bool mirror = false;
        for (const Tag& t : tags) {
            switch (t.code) {
                case 3:
                    raw += t.text;
                    break;
                case 1:
                    tail = t.text;
                    break;
                case 10:
                    p10.x = t.real;
                    break;
                case 20:
                    p10.y = t.real;
                    break;
                case 11:
                    direction.x = t.real;
                    hasDirection = true;
                    break;
                case 21:
                    direction.y = t.real;
                    break;
                case 40:
                    height = t.real;
                    break;
                case 44:
                    spacing = t.real;
                    break;
                case 41:
                    boxWidth = t.real;
                    break;
                case 50:
                    rotation = t.real * kDegree;
                    break;
                case 71:
                    attachment = t.integer;
                    break;
                case 230:
                    mirror = t.real < 0.0;
                    break;
                default:
                    break;
            }
        }
        raw += tail;
        if (!(height > 0.0) || !std::isfinite(height) || raw.empty() || !Spend(raw.size())) return;
        if (!(spacing > 0.0)) spacing = 1.0;
        Vec2 along = hasDirection && Length(direction) > 0.0
                         ? direction * (1.0 / Length(direction))
                         : Vec2{std::cos(rotation), std::sin(rotation)};
        const Affine map = mirror && !hasDirection ? m * kMirrorX : m;
        const Vec2 up{-along.y, along.x};
        const std::vector<MTextLine> lines =
            WrapMText(ParseMText(Decode(raw), height), height, boxWidth);
        const auto column =
            static_cast<std::uint8_t>((std::clamp<std::int64_t>(attachment, 1, 9) - 1) % 3);
        const std::int64_t row = (std::clamp<std::int64_t>(attachment, 1, 9) - 1) / 3;
        // Baselines from the top: the first one a line height down, the next ones spacing apart.
        std::vector<double> below;
        double y = 0.0;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const double lineHeight = height * lines[i].height;
            y += i == 0 ? lineHeight : kLineSpacing * spacing * lineHeight;
            below.push_back(y);
        }
        const double total = lines.empty() ? 0.0 : below.back();
        const double shift = row == 0 ? 0.0 : row == 1 ? 0.5 * total : total;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].text.empty()) continue;
            UnderlayText text;
            text.utf8 = lines[i].text;
            text.hAlign = column;
            const double lineHeight = height * lines[i].height;
            Resolved lineStyle = r;
            if (lines[i].colour > 0 && lines[i].colour < 256) {
                lineStyle.colour = AciToRgb(lines[i].colour);
            }
            const Vec2 origin = p10 + (shift - below[i]) * up;
            AddText(std::move(text), map, origin, lineHeight * lines[i].width * along,
                    lineHeight * up, lineStyle);
        }
    }

    void Hatch(const std::vector<Tag>& tags, const Affine& m, const Resolved& r) {
        std::vector<std::vector<Vec2>> rings;
        bool solid = false;
        std::size_t i = 0;
        const std::size_t n = tags.size();
        // Up to the boundary count.
        for (; i < n && tags[i].code != 91; ++i) {
            if (tags[i].code == 70) solid = tags[i].integer != 0;
        }
        if (i == n) return;
        const std::int64_t paths = tags[i++].integer;
        for (std::int64_t path = 0; path < paths && i < n; ++path) {
            while (i < n && tags[i].code != 92) ++i;
            if (i == n) break;
            const std::int64_t type = tags[i++].integer;
            std::vector<Vec2> ring;
            if ((type & 2) != 0) {
                bool bulged = false;
                bool closed = true;
                std::vector<Vec2> local;
                std::vector<double> bulges;
                std::int64_t count = 0;
                for (; i < n && tags[i].code != 93; ++i) {
                    if (tags[i].code == 72) bulged = tags[i].integer != 0;
                    if (tags[i].code == 73) closed = tags[i].integer != 0;
                }
                if (i < n) count = tags[i++].integer;
                for (; i < n && static_cast<std::int64_t>(local.size()) <= count; ++i) {
                    const Tag& t = tags[i];
                    if (t.code == 10) {
                        if (static_cast<std::int64_t>(local.size()) == count) break;
                        local.push_back({t.real, 0.0});
                        bulges.push_back(0.0);
                    } else if (t.code == 20 && !local.empty()) {
                        local.back().y = t.real;
                    } else if (t.code == 42 && bulged && !bulges.empty()) {
                        bulges.back() = t.real;
                    } else if (t.code == 97 || t.code == 92) {
                        break;
                    }
                }
                (void)closed;
                if (!local.empty()) {
                    ring.push_back(m(local.front()));
                    for (std::size_t k = 0; k < local.size(); ++k) {
                        BulgePoints(m, local[k], local[(k + 1) % local.size()], bulges[k], ring);
                    }
                    ring.pop_back();
                }
            } else {
                while (i < n && tags[i].code != 93) ++i;
                if (i == n) break;
                const std::int64_t edges = tags[i++].integer;
                for (std::int64_t e = 0; e < edges && i < n; ++e) {
                    while (i < n && tags[i].code != 72) ++i;
                    if (i == n) break;
                    const std::int64_t edge = tags[i++].integer;
                    i = HatchEdge(tags, i, edge, m, ring);
                }
            }
            if (ring.size() >= 2) rings.push_back(std::move(ring));
        }
        if (rings.empty()) return;
        if (solid) {
            AddFill(rings, r);
            return;
        }
        for (const auto& ring : rings) AddPolyline(ring, true, r);
        HatchPattern(tags, i, m, rings, r);
    }

    // A pattern line family of a hatch, in the entity's plane: lines through base + k offset
    // along direction, dashed (empty: solid).
    struct PatternLine {
        Vec2 base;
        Vec2 direction;
        Vec2 offset;
        std::vector<double> dashes;
    };

    // The pattern lines inside the boundary rings (even-odd), from the pattern data after the
    // boundary (tags from i on); a family denser than kMaxHatchLines lines is left out.
    void HatchPattern(const std::vector<Tag>& tags, std::size_t i, const Affine& m,
                      const std::vector<std::vector<Vec2>>& rings, const Resolved& r) {
        constexpr double kMaxHatchLines = 2000.0;
        constexpr std::size_t kMaxHatchSegments = 50'000;
        const std::size_t n = tags.size();
        while (i < n && tags[i].code != 78) ++i;
        if (i == n) return;
        const std::int64_t families = tags[i++].integer;
        std::vector<PatternLine> lines;
        for (std::int64_t f = 0; f < families && i < n; ++f) {
            PatternLine line;
            double angle = 0.0;
            for (; i < n && tags[i].code != 79; ++i) {
                const Tag& t = tags[i];
                if (t.code == 53) angle = t.real * kDegree;
                if (t.code == 43) line.base.x = t.real;
                if (t.code == 44) line.base.y = t.real;
                if (t.code == 45) line.offset.x = t.real;
                if (t.code == 46) line.offset.y = t.real;
            }
            if (i == n) break;
            const std::int64_t count = tags[i++].integer;
            for (std::int64_t k = 0; k < count && i < n && tags[i].code == 49; ++k, ++i) {
                line.dashes.push_back(tags[i].real);
            }
            line.direction = {std::cos(angle), std::sin(angle)};
            lines.push_back(std::move(line));
        }
        std::vector<Vec2> segments;
        std::vector<std::vector<double>> cuts;  // per line of the family
        for (const PatternLine& family : lines) {
            const Vec2 b = m(family.base);
            const Vec2 d = m.Vector(family.direction);
            const Vec2 o = m.Vector(family.offset);
            const double across = Cross(d, o);
            if (std::abs(across) < 1e-12 || Dot(d, d) <= 0.0) continue;
            // Line k runs through b + k o; a point p lies at k = Cross(d, p - b) / across.
            std::size_t edges = 0;
            double low = std::numeric_limits<double>::infinity();
            double high = -low;
            for (const auto& ring : rings) {
                edges += ring.size();
                for (const Vec2& p : ring) {
                    const double k = Cross(d, p - b) / across;
                    low = std::min(low, k);
                    high = std::max(high, k);
                }
            }
            if (!(high - low < kMaxHatchLines) || !Spend(edges)) continue;
            const double first = std::ceil(low);
            const auto count = static_cast<std::size_t>(std::max(0.0, high - first + 1.0));
            if (!Spend(count)) return;
            cuts.assign(count, {});
            // Each edge is cut only with the lines its k range spans (one more each side, so
            // that the exact side test below decides the ends), not with every line.
            for (const auto& ring : rings) {
                for (std::size_t e = 0; e < ring.size(); ++e) {
                    const Vec2 a = ring[e];
                    const Vec2 c = ring[(e + 1) % ring.size()];
                    const double ka = Cross(d, a - b) / across;
                    const double kc = Cross(d, c - b) / across;
                    const double from = std::max(std::floor(std::min(ka, kc)) - first, 0.0);
                    const double to = std::min(std::ceil(std::max(ka, kc)) - first,
                                               static_cast<double>(count) - 1.0);
                    if (to >= from && !Spend(static_cast<std::size_t>(to - from) + 1)) return;
                    for (double line = from; line <= to; line += 1.0) {
                        const Vec2 q = b + (first + line) * o;
                        const double sa = Cross(d, a - q);
                        const double sc = Cross(d, c - q);
                        if ((sa > 0.0) == (sc > 0.0)) continue;
                        const Vec2 at = a + (sa / (sa - sc)) * (c - a);
                        cuts[static_cast<std::size_t>(line)].push_back(Dot(at - q, d) / Dot(d, d));
                    }
                }
            }
            double period = 0.0;
            for (const double v : family.dashes) period += std::abs(v);
            for (std::size_t line = 0; line < count; ++line) {
                std::vector<double>& at = cuts[line];
                std::sort(at.begin(), at.end());
                const Vec2 q = b + (first + static_cast<double>(line)) * o;
                for (std::size_t c = 0; c + 1 < at.size(); c += 2) {
                    DashSegments(q, d, at[c], at[c + 1], family.dashes, period, segments);
                }
                if (segments.size() > 2 * kMaxHatchSegments) break;
            }
            if (segments.size() > 2 * kMaxHatchSegments) break;
        }
        if (segments.empty() || !std::all_of(segments.begin(), segments.end(), Usable) ||
            !Spend(segments.size() + kItemUnits)) {
            return;
        }
        UnderlayItem& item = AddItem(UnderlayKind::Segments, r);
        m_u.points.insert(m_u.points.end(), segments.begin(), segments.end());
        item.count = static_cast<std::uint32_t>(segments.size());
    }

    // The dashes of a pattern (+ dash, - gap, 0 dot) on q + t d for t in [from, to], the pattern
    // starting at t = 0; one segment when solid.
    static void DashSegments(Vec2 q, Vec2 d, double from, double to,
                             const std::vector<double>& dashes, double period,
                             std::vector<Vec2>& out) {
        // Dashes finer than the line is long a ten-thousandth are drawn solid.
        if (dashes.empty() || !(period > 0.0) || (to - from) / period > 1e4) {
            out.push_back(q + from * d);
            out.push_back(q + to * d);
            return;
        }
        double t = std::floor(from / period) * period;
        for (std::size_t k = 0; t < to; k = (k + 1) % dashes.size()) {
            const double length = std::abs(dashes[k]);
            const double end = t + length;
            if (dashes[k] >= 0.0 && end >= from) {
                const double a = std::max(t, from);
                const double b = std::min(end, to);
                // A dot is drawn as a short dash, a hundredth of the period.
                out.push_back(q + a * d);
                out.push_back(q + (dashes[k] == 0.0 ? std::min(a + 0.01 * period, to) : b) * d);
            }
            t = end;
        }
    }

    // Reads one edge of a hatch boundary from tags[i]; returns where the next edge may start.
    static std::size_t HatchEdge(const std::vector<Tag>& tags, std::size_t i, std::int64_t edge,
                                 const Affine& m, std::vector<Vec2>& ring) {
        const std::size_t n = tags.size();
        std::array<double, 12> v{};  // 10 20 11 21 40 50 51 73
        std::size_t k = i;
        const auto take = [&](std::initializer_list<int> codes) {
            std::size_t slot = 0;
            for (const int code : codes) {
                while (k < n && tags[k].code != code) {
                    if (tags[k].code == 72 || tags[k].code == 92 || tags[k].code == 97)
                        return false;
                    ++k;
                }
                if (k == n) return false;
                v[slot++] =
                    tags[k].code == 73 ? static_cast<double>(tags[k].integer) : tags[k].real;
                ++k;
            }
            return true;
        };
        std::vector<Vec2> pts;
        if (edge == 1) {
            if (!take({10, 20, 11, 21})) return k;
            pts = {m({v[0], v[1]}), m({v[2], v[3]})};
        } else if (edge == 2) {
            if (!take({10, 20, 40, 50, 51, 73})) return k;
            double sweep = v[4] - v[3];
            if (sweep <= 0.0) sweep += 360.0;
            const double start = v[5] != 0.0 ? v[3] : -v[3];
            ArcPoints(m, {v[0], v[1]}, v[2], v[2], 0.0, start * kDegree,
                      (v[5] != 0.0 ? sweep : -sweep) * kDegree, pts);
        } else if (edge == 3) {
            if (!take({10, 20, 11, 21, 40, 50, 51, 73})) return k;
            const double rx = std::hypot(v[2], v[3]);
            double sweep = v[6] - v[5];
            if (sweep <= 0.0) sweep += 360.0;
            const double start = v[7] != 0.0 ? v[5] : -v[5];
            ArcPoints(m, {v[0], v[1]}, rx, rx * v[4], std::atan2(v[3], v[2]), start * kDegree,
                      (v[7] != 0.0 ? sweep : -sweep) * kDegree, pts);
        } else {
            // Spline edges: their control points, as the boundary's outline.
            std::vector<Vec2> local;
            for (; k < n && tags[k].code != 72 && tags[k].code != 92 && tags[k].code != 97; ++k) {
                if (tags[k].code == 10) local.push_back({tags[k].real, 0.0});
                if (tags[k].code == 20 && !local.empty()) local.back().y = tags[k].real;
            }
            for (const Vec2& q : local) pts.push_back(m(q));
        }
        for (const Vec2& p : pts) {
            if (ring.empty() || ring.back() != p) ring.push_back(p);
        }
        return k;
    }

    void Insert(std::size_t r, const std::vector<Tag>& tags, const Affine& m, const Common& common,
                const Resolved& res, const Context& ctx) {
        std::string name;
        Vec2 p;
        double sx = 1.0;
        double sy = 1.0;
        double rotation = 0.0;
        std::int64_t columns = 1;
        std::int64_t rows = 1;
        double columnSpacing = 0.0;
        double rowSpacing = 0.0;
        bool attribs = false;
        for (const Tag& t : tags) {
            switch (t.code) {
                case 2:
                    name = LayerKey(t.text);
                    break;
                case 10:
                    p.x = t.real;
                    break;
                case 20:
                    p.y = t.real;
                    break;
                case 41:
                    sx = t.real;
                    break;
                case 42:
                    sy = t.real;
                    break;
                case 50:
                    rotation = t.real * kDegree;
                    break;
                case 66:
                    attribs = t.integer != 0;
                    break;
                case 70:
                    columns = std::max<std::int64_t>(1, t.integer);
                    break;
                case 71:
                    rows = std::max<std::int64_t>(1, t.integer);
                    break;
                case 44:
                    columnSpacing = t.real;
                    break;
                case 45:
                    rowSpacing = t.real;
                    break;
                default:
                    break;
            }
        }
        Snap(m(p), UnderlayPointKind::Insertion, res);
        const auto found = m_blocks.find(name);
        if (found != m_blocks.end() && sx != 0.0 && sy != 0.0) {
            const Block& block = found->second;
            Context inner;
            inner.layer = res.layer;
            inner.blockColour = res.colour;
            inner.blockLinetype = common.linetype;
            inner.depth = ctx.depth + 1;
            const std::vector<std::uint32_t>& records = block.records;  // m_blocks is stable
            for (std::int64_t row = 0; row < rows; ++row) {
                for (std::int64_t column = 0; column < columns; ++column) {
                    const Vec2 offset{static_cast<double>(column) * columnSpacing,
                                      static_cast<double>(row) * rowSpacing};
                    inner.m = m * Translate(p) * Rotate(rotation) * Translate(offset) *
                              ScaleBy(sx, sy) * Translate(-1.0 * block.base);
                    for (const std::uint32_t record : records) Entity(record, inner, false);
                    if (m_spent) return;
                }
            }
        }
        if (!attribs) return;
        // Attributes follow the insert, in the drawing's coordinates (mapped by the outer map);
        // they belong to the insert as its block's entities do.
        Context outer = ctx;
        outer.layer = res.layer;
        outer.blockColour = res.colour;
        outer.blockLinetype = common.linetype;
        outer.depth = ctx.depth + 1;
        for (std::size_t a = r + 1; a + 1 < m_s.records.size(); ++a) {
            if (TypeOf(a) != "ATTRIB") break;
            const std::size_t before = m_u.items.size();
            Entity(a, outer, false);
            if (ctx.depth == 0 && m_shownKinds != nullptr && m_u.items.size() > before) {
                ++(*m_shownKinds)["ATTRIB"];
            }
        }
    }

    void Dimension(const std::vector<Tag>& tags, const Affine& m, const Resolved& res,
                   const Context& ctx) {
        std::string name;
        for (const Tag& t : tags) {
            if (t.code == 2) name = LayerKey(t.text);
        }
        const auto found = m_blocks.find(name);
        if (found == m_blocks.end()) return;
        Context inner;
        inner.layer = res.layer;
        inner.blockColour = res.colour;
        inner.depth = ctx.depth + 1;
        inner.m = m;  // a dimension's block is drawn where it stands
        const std::vector<std::uint32_t>& records = found->second.records;
        for (const std::uint32_t record : records) Entity(record, inner, false);
    }

    const DxfSource& m_s;
    const DxfUnderlayRecords& m_where;
    const std::function<std::int32_t(std::string_view)>& m_layerOf;
    std::map<std::string, std::size_t>* m_shownKinds;
    DxfUnderlayBudget& m_budget;
    bool m_spent = false;        // the budget ran out: nothing more is drawn
    std::string_view m_topType;  // the model-space record being drawn
    DxfTagReader m_reader;
    Underlay m_u;
    double m_ltScale = 1.0;
    std::size_t m_visits = 0;
    std::unordered_map<std::string, LayerInfo> m_layers;
    std::unordered_map<std::string, std::vector<double>> m_linetypes;
    std::unordered_map<std::string, Block> m_blocks;
    std::array<std::vector<Tag>, kMaxDepth + 2> m_tags;
    std::unordered_map<std::uint32_t, std::vector<Tag>> m_blockTags;
};

// Appends the UTF-8 of code point c.
void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6U));
        out += static_cast<char>(0x80 | (c & 0x3FU));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12U));
        out += static_cast<char>(0x80 | ((c >> 6U) & 0x3FU));
        out += static_cast<char>(0x80 | (c & 0x3FU));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18U));
        out += static_cast<char>(0x80 | ((c >> 12U) & 0x3FU));
        out += static_cast<char>(0x80 | ((c >> 6U) & 0x3FU));
        out += static_cast<char>(0x80 | (c & 0x3FU));
    }
}

// The number at the start of text (after an optional sign), and how many bytes it took.
double LeadingNumber(std::string_view text, std::size_t& used) {
    std::size_t k = 0;
    while (k < text.size() && (std::isdigit(static_cast<unsigned char>(text[k])) != 0 ||
                               text[k] == '.' || (k == 0 && (text[k] == '-' || text[k] == '+')))) {
        ++k;
    }
    used = k;
    if (k == 0) return 0.0;
    try {
        return std::stod(std::string(text.substr(0, k)));
    } catch (const std::exception&) {
        return 0.0;
    }
}

}  // namespace

std::vector<MTextLine> WrapMText(std::vector<MTextLine> lines, double height, double width) {
    if (!(width > 0.0) || !(height > 0.0)) return lines;
    std::vector<MTextLine> out;
    const auto length = [](unsigned char c) -> std::size_t {
        return c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    };
    for (MTextLine& line : lines) {
        const double unit = height * line.height * line.width;  // drawing units per text unit
        const std::string& text = line.text;
        // One pass: each piece is the longest run from `start` that fits, cut at the last space
        // in it when there is one; a line that fits whole is kept as it is.
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t cut = start;
            std::size_t space = std::string::npos;
            double advance = 0.0;
            bool fits = true;
            for (std::size_t i = start; i < text.size();) {
                const auto c = static_cast<unsigned char>(text[i]);
                const std::size_t n = length(c);
                advance += n >= 3 ? 1.0 : 0.6;
                if (advance * unit > width) {
                    fits = false;
                    break;
                }
                if (c == ' ') space = i;
                i += n;
                cut = i;
            }
            if (fits) break;
            if (space != std::string::npos && space > start) cut = space;
            // Not even one character fits: one a line.
            if (cut == start) cut = start + length(static_cast<unsigned char>(text[start]));
            cut = std::min(cut, text.size());
            MTextLine head;  // not a copy of line: its text may be long
            head.text = text.substr(start, cut - start);
            head.height = line.height;
            head.width = line.width;
            head.colour = line.colour;
            out.push_back(std::move(head));
            start = cut;
            while (start < text.size() && text[start] == ' ') ++start;
        }
        line.text.erase(0, start);
        out.push_back(std::move(line));
    }
    return out;
}

std::string TextSpecials(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, 2) != "%%" || i + 2 >= text.size()) {
            out += text[i++];
            continue;
        }
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 2])));
        if (c == 'c') {
            AppendUtf8(out, 0x2300);
        } else if (c == 'd') {
            AppendUtf8(out, 0x00B0);
        } else if (c == 'p') {
            AppendUtf8(out, 0x00B1);
        } else if (c == '%') {
            out += '%';
        } else if (c == 'u' || c == 'o' || c == 'k') {
            // Under-, over- and strike-through lines are not drawn.
        } else if (std::isdigit(static_cast<unsigned char>(c)) != 0) {
            std::size_t k = i + 2;
            std::uint32_t code = 0;
            while (k < text.size() && k < i + 5 &&
                   std::isdigit(static_cast<unsigned char>(text[k])) != 0) {
                code = code * 10 + static_cast<std::uint32_t>(text[k] - '0');
                ++k;
            }
            AppendUtf8(out, code);
            i = k;
            continue;
        } else {
            out += "%%";
            i += 2;
            continue;
        }
        i += 3;
    }
    return out;
}

std::vector<MTextLine> ParseMText(std::string_view text, double height) {
    std::vector<MTextLine> lines(1);
    MTextLine state;  // what is in force
    const auto startLine = [&] {
        MTextLine line;
        line.height = state.height;
        line.width = state.width;
        line.colour = state.colour;
        lines.push_back(line);
    };
    // A parameter up to ';' (or the end).
    const auto parameter = [&](std::size_t& i) {
        const std::size_t end = text.find(';', i);
        const std::string_view value =
            text.substr(i, end == std::string_view::npos ? std::string_view::npos : end - i);
        i = end == std::string_view::npos ? text.size() : end + 1;
        return value;
    };
    // What a {} group changed is undone at its end.
    std::vector<MTextLine> groups;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '{') {
            groups.push_back(state);
            ++i;
            continue;
        }
        if (c == '}') {
            if (!groups.empty()) {
                state = groups.back();
                groups.pop_back();
            }
            ++i;
            continue;
        }
        if (c == '\n' || (c == '^' && i + 1 < text.size() && text[i + 1] == 'J')) {
            startLine();
            i += c == '\n' ? 1 : 2;
            continue;
        }
        if (c == '^' && i + 1 < text.size() && text[i + 1] == 'I') {
            lines.back().text += ' ';
            i += 2;
            continue;
        }
        if (c != '\\' || i + 1 >= text.size()) {
            lines.back().text += c;
            ++i;
            continue;
        }
        const char code = text[i + 1];
        i += 2;
        switch (code) {
            case 'P':
            case 'X':
                startLine();
                break;
            case 'N':
                startLine();  // a new column: shown as a new line
                break;
            case '~':
                lines.back().text += ' ';
                break;
            case '\\':
            case '{':
            case '}':
                lines.back().text += code;
                break;
            case 'L':
            case 'l':
            case 'O':
            case 'o':
            case 'K':
            case 'k':
                break;
            case 'H':
            case 'W': {
                const std::string_view value = parameter(i);
                std::size_t used = 0;
                const double number = LeadingNumber(value, used);
                const bool relative =
                    used < value.size() && (value[used] == 'x' || value[used] == 'X');
                double& factor = code == 'H' ? state.height : state.width;
                if (number > 0.0) {
                    factor = relative ? factor * number : (code == 'H' ? number / height : number);
                }
                if (lines.back().text.empty()) {
                    lines.back().height = state.height;
                    lines.back().width = state.width;
                }
                break;
            }
            case 'C': {
                std::size_t used = 0;
                state.colour = static_cast<int>(LeadingNumber(parameter(i), used));
                if (lines.back().text.empty() || lines.back().colour < 0) {
                    lines.back().colour = state.colour;
                }
                break;
            }
            case 'S': {
                std::string_view value = parameter(i);
                std::string stacked;
                for (const char s : value) stacked += s == '^' || s == '#' ? '/' : s;
                lines.back().text += stacked;
                break;
            }
            case 'f':
            case 'F':
            case 'c':
            case 'A':
            case 'Q':
            case 'T':
            case 'p':
                (void)parameter(i);
                break;
            case 'U':
            case 'M':
                // Escapes the file layer left as they were: kept as written.
                lines.back().text += '\\';
                lines.back().text += code;
                break;
            default:
                lines.back().text += code;
                break;
        }
    }
    for (MTextLine& line : lines) line.text = TextSpecials(line.text);
    return lines;
}

std::size_t DxfUnderlayWorkLimit(std::size_t fileBytes) noexcept {
    return std::min(kDxfUnderlayMaxWork,
                    kDxfUnderlayBaseWork + fileBytes / kDxfUnderlayBytesPerWork);
}

Underlay BuildDxfUnderlay(const DxfSource& source, const DxfUnderlayRecords& where,
                          const std::function<std::int32_t(std::string_view)>& layerOf,
                          std::map<std::string, std::size_t>* shownKinds,
                          DxfUnderlayBudget* budget) {
    DxfUnderlayBudget local;
    return Builder(source, where, layerOf, shownKinds, budget != nullptr ? *budget : local).Run();
}

}  // namespace pelimator::board
