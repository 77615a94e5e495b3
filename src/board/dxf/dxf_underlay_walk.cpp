// The walk through the records: each by its type, inserts (arrays, attributes) and dimensions
// through their blocks, within the depth and visit limits.
#include "base/errors.h"
#include "board/dxf/dxf_colour.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_underlay_builder.h"
#include "board/model/entity.h"

namespace pelimator::board::underlay {

void Builder::Entity(std::size_t r, const Context& ctx, bool top) {
    if (ctx.depth > kMaxDepth) return;
    if (++m_visits > kMaxVisits) {
        m_spent = true;
        ++m_underlay.dropped;
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
        m_underlay.paperSpace = true;
        return;
    }
    const Resolved res = Resolve(common, ctx);
    // Items follow their board layer's visibility; an insert on a frozen layer is hidden
    // whole, its entities on other layers too, as CAD programs do.
    if (res.frozen && (type == "INSERT" || type == "DIMENSION" || type == "ARC_DIMENSION" ||
                       type == "ACAD_TABLE")) {
        return;
    }
    const auto plane = Plane(common, ctx.m);
    const std::size_t before = m_underlay.items.size();
    Draw(r, type, tags, plane, common, res, ctx, top);
    if (top && m_shownKinds != nullptr && m_underlay.items.size() > before &&
        !BoardTakes(type, tags)) {
        ++(*m_shownKinds)[std::string(type)];
    }
}

bool Builder::BoardTakes(std::string_view type, const std::vector<Tag>& tags) {
    if (type == "LWPOLYLINE") return true;
    if (type != "POLYLINE") return false;
    for (const Tag& t : tags) {
        if (t.code == 70) return (t.integer & 8) == 0;
    }
    return true;
}

void Builder::Draw(std::size_t r, std::string_view type, const std::vector<Tag>& tags,
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
    } else if (type == "MULTILEADER" || type == "MLEADER") {
        MultiLeader(tags, ctx.m, common, res, ctx);
    } else if (type == "MLINE") {
        MLine(tags, ctx.m, common, res, ctx);
    } else if (type == "XLINE" || type == "RAY") {
        InfiniteLine(tags, ctx.m, res, type == "RAY", top);
    } else if (type == "IMAGE" || type == "WIPEOUT") {
        ImageFrame(tags, ctx.m, res);
    } else if (type == "PDFUNDERLAY" || type == "DWFUNDERLAY" || type == "DGNUNDERLAY") {
        UnderlayPoint(tags, ctx.m, res);
    } else if (type == "TOLERANCE") {
        Tolerance(tags, ctx.m, res);  // in the drawing's coordinates, as a line's
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
    } else if (type == "SHAPE") {
        PointEntity(tags, *plane, res);  // its strokes are in a shape file: a point marks it
    } else if (type == "SOLID" || type == "TRACE") {
        Corners(tags, *plane, res, true);
    } else if (type == "HATCH") {
        Hatch(tags, *plane, res);
    } else if (type == "INSERT") {
        Insert(r, tags, *plane, common, res, ctx);
    } else if (type == "DIMENSION" || type == "ARC_DIMENSION") {
        Dimension(tags, *plane, res, ctx);
    } else if (type == "ACAD_TABLE") {
        Table(tags, *plane, common, res, ctx);
    }
}

void Builder::Insert(std::size_t r, const std::vector<Tag>& tags, const Affine& m,
                     const Common& common, const Resolved& res, const Context& ctx) {
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
        const std::vector<std::uint32_t>& records = block.records;  // m_blocks is stable
        for (std::int64_t row = 0; row < rows; ++row) {
            for (std::int64_t column = 0; column < columns; ++column) {
                const Vec2 offset{static_cast<double>(column) * columnSpacing,
                                  static_cast<double>(row) * rowSpacing};
                BlockContent(records,
                             m * Translate(p) * Rotate(rotation) * Translate(offset) *
                                 ScaleBy(sx, sy) * Translate(-1.0 * block.base),
                             common, res, ctx);
                if (m_spent) return;
            }
        }
    }
    if (attribs) InsertAttributes(r, common, res, ctx);
}

// Attributes follow the insert, in the drawing's coordinates (mapped by the outer map); they
// belong to the insert as its block's entities do.
void Builder::InsertAttributes(std::size_t r, const Common& common, const Resolved& res,
                               const Context& ctx) {
    Context outer = ctx;
    outer.layer = res.layer;
    outer.blockColour = res.colour;
    outer.blockLinetype = common.linetype;
    outer.depth = ctx.depth + 1;
    for (std::size_t a = r + 1; a + 1 < m_source.records.size(); ++a) {
        if (TypeOf(a) != "ATTRIB") break;
        const std::size_t before = m_underlay.items.size();
        Entity(a, outer, false);
        if (ctx.depth == 0 && m_shownKinds != nullptr && m_underlay.items.size() > before) {
            ++(*m_shownKinds)["ATTRIB"];
        }
    }
}

void Builder::Dimension(const std::vector<Tag>& tags, const Affine& m, const Resolved& res,
                        const Context& ctx) {
    std::string name;
    for (const Tag& t : tags) {
        if (t.code == 2) name = LayerKey(t.text);
    }
    const auto found = m_blocks.find(name);
    if (found == m_blocks.end() || found->second.records.empty()) {
        // Some writers leave the block out (or name one that is not there). An arc dimension's
        // points are not a dimension's: drawn by its block alone.
        if (tags.front().text == "DIMENSION") DrawDimension(tags, m, res);
        return;
    }
    Context inner;
    inner.layer = res.layer;
    inner.blockColour = res.colour;
    inner.depth = ctx.depth + 1;
    inner.m = m;  // a dimension's block is drawn where it stands
    const std::vector<std::uint32_t>& records = found->second.records;
    for (const std::uint32_t record : records) Entity(record, inner, false);
}

}  // namespace pelimator::board::underlay
