// Building the underlay: the entry point and what every family of records shares (reading a
// record's tags, resolving an entity's properties against the inserts around it, adding items).
#include "base/errors.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_linetypes.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_underlay_builder.h"
#include "board/model/entity.h"

namespace pelimator::board::underlay {

bool Builder::Read(std::size_t r, std::vector<Tag>& tags) {
    tags.clear();
    if (r + 1 >= m_source.records.size()) return false;
    const std::size_t end = m_source.records[r + 1];
    m_reader.Seek(m_source.records[r], 1);
    DxfTag tag;
    try {
        while (m_reader.Offset() < end && m_reader.Next(tag)) {
            // A text's own value keeps its spaces (" 53°" is not "53°"); only a line end goes.
            std::string_view value = tag.value;
            const bool text = tag.code == 1 || tag.code == 3;
            while (text && !value.empty() && value.back() == '\r') value.remove_suffix(1);
            tags.push_back({tag.code, text ? value : TrimDxf(tag.value), tag.real, tag.integer});
        }
    } catch (const FileError&) {
        return false;
    }
    return !tags.empty();
}

std::string Builder::Decode(std::string_view raw) const {
    return DecodeDxfString(raw, m_source.version, m_source.codePage);
}

std::string_view Builder::TypeOf(std::size_t r) {
    if (r + 1 >= m_source.records.size()) return {};
    m_reader.Seek(m_source.records[r], 1);
    DxfTag tag;
    try {
        if (m_reader.Next(tag) && tag.code == 0) return TrimDxf(tag.value);
    } catch (const FileError&) {
    }
    return {};
}

Common Builder::ReadCommon(const std::vector<Tag>& tags) {
    Common c;
    for (const Tag& t : tags) {
        // A table's own groups (its cells' among them) follow its subclass marker.
        if (t.code == 100 && t.text == "AcDbTable") break;
        TakeCommonGroup(c, t.code, t.text, t.real, t.integer);
    }
    return c;
}

Builder::Resolved Builder::Resolve(const Common& c, const Context& ctx) {
    Resolved r;
    r.layer = c.layer.empty() || c.layer == "0" ? ctx.layer : c.layer;
    if (ctx.depth == 0) m_recordLayer.assign(r.layer);
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
        r.byLayer = r.layer == m_recordLayer;
    } else {
        r.colour = AciToRgb(static_cast<std::int32_t>(c.colour));
    }
    if (auto pattern = m_linetypes.PatternOf(c.linetype, r.layer, c.linetypeScale,
                                             ctx.blockLinetype, ctx.layer, ctx.m.Scale())) {
        const DxfLinetypeLabel* label =
            m_linetypes.LabelOf(c.linetype, r.layer, ctx.blockLinetype, ctx.layer);
        r.dash = DashIndex(std::move(*pattern), label != nullptr
                                                    ? std::array{label->name, label->description}
                                                    : std::array<std::string, 2>{});
    }
    return r;
}

std::uint32_t Builder::DashIndex(std::vector<double> scaled, std::array<std::string, 2> name) {
    for (std::size_t i = m_underlay.dashes.size(); i-- > 0 && i + 8 >= m_underlay.dashes.size();) {
        if (m_underlay.dashes[i] == scaled && m_underlay.dashNames[i] == name) {
            return static_cast<std::uint32_t>(i);
        }
    }
    m_underlay.dashNames.push_back(std::move(name));
    m_underlay.dashes.push_back(std::move(scaled));
    return static_cast<std::uint32_t>(m_underlay.dashes.size() - 1);
}

bool Builder::Spend(std::size_t units) {
    if (!m_spent && units <= m_budget.limit - m_budget.used) {
        m_budget.used += units;
        return true;
    }
    m_spent = true;
    ++m_underlay.dropped;
    return false;
}

UnderlayItem& Builder::AddItem(UnderlayKind kind, const Resolved& r) {
    UnderlayItem& item = m_underlay.items.emplace_back();
    item.kind = kind;
    item.layer = r.boardLayer;
    item.colour = r.colour;
    item.byLayer = r.byLayer;
    item.dash = r.dash;
    item.record = m_record;
    item.first = static_cast<std::uint32_t>(m_underlay.points.size());
    return item;
}

void Builder::Snap(Vec2 p, UnderlayPointKind kind, const Resolved& r) {
    if (Usable(p) && Spend(kSnapUnits)) {
        m_underlay.snapPoints.push_back({p, kind, r.boardLayer, m_record});
    }
}

void Builder::AddPolyline(const std::vector<Vec2>& pts, bool closed, const Resolved& r,
                          double width) {
    if (pts.size() < 2 || !Spend(pts.size() + kItemUnits)) return;
    for (const Vec2& p : pts) {
        if (!Usable(p)) return;
    }
    UnderlayItem& item = AddItem(UnderlayKind::Polyline, r);
    item.closed = closed;
    item.width = static_cast<float>(width);
    m_underlay.points.insert(m_underlay.points.end(), pts.begin(), pts.end());
    item.count = static_cast<std::uint32_t>(pts.size());
}

void Builder::AddFill(const std::vector<std::vector<Vec2>>& rings, const Resolved& r) {
    std::size_t count = 0;
    for (const auto& ring : rings) count += ring.size();
    if (!Spend(count + kItemUnits)) return;
    AddItem(UnderlayKind::Fill, r);
    m_underlay.AppendFillRings(rings, Usable);
}

void Builder::ArcPoints(const Affine& m, Vec2 centre, double rx, double ry, double rotation,
                        double start, double sweep, std::vector<Vec2>& out) {
    // Chords within kRelativeTolerance of the radius: the board's chord rule on a unit circle.
    const double radius = std::max(rx, ry) * m.Scale();
    int n = kMaxCurveSegments;
    if (radius > 0.0) {
        n = static_cast<int>(
            ArcSegmentCount(1.0, std::abs(sweep), kRelativeTolerance, kMaxCurveSegments));
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

void Builder::BulgePoints(const Affine& m, Vec2 a, Vec2 b, double bulge, std::vector<Vec2>& out) {
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

std::optional<Affine> Builder::Plane(const Common& c, const Affine& m) {
    const auto& z = c.extrusion;
    if (std::abs(z[0]) > 1e-9 || std::abs(z[1]) > 1e-9 || z[2] == 0.0) return std::nullopt;
    return z[2] < 0.0 ? m * kMirrorX : m;
}

}  // namespace pelimator::board::underlay

namespace pelimator::board {

std::size_t DxfUnderlayWorkLimit(std::size_t fileBytes) noexcept {
    return std::min(kDxfUnderlayMaxWork,
                    kDxfUnderlayBaseWork + fileBytes / kDxfUnderlayBytesPerWork);
}

Underlay BuildDxfUnderlay(const DxfSource& source, const DxfUnderlayRecords& where,
                          const std::function<std::int32_t(std::string_view)>& layerOf,
                          std::map<std::string, std::size_t>* shownKinds,
                          DxfUnderlayBudget* budget) {
    DxfUnderlayBudget local;
    return underlay::Builder(source, where, layerOf, shownKinds,
                             budget != nullptr ? *budget : local)
        .Run();
}

}  // namespace pelimator::board
