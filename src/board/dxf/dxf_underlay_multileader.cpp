// MULTILEADER and ACAD_TABLE in the underlay: a multileader from its context data (leader lines,
// arrowheads, its text or block), a table by its anonymous block.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "board/dxf/dxf_multileader.h"
#include "board/dxf/dxf_names.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_underlay_builder.h"

namespace pelimator::board::underlay {

namespace {

Vec2 Unit(Vec2 v, Vec2 fallback) {
    const double length = Length(v);
    return length > 0.0 ? (1.0 / length) * v : fallback;
}

}  // namespace

void Builder::BlockContent(const std::vector<std::uint32_t>& records, const Affine& m,
                           const Common& common, const Resolved& res, const Context& ctx) {
    Context inner;
    inner.m = m;
    inner.layer = res.layer;
    inner.blockColour = res.colour;
    inner.blockLinetype = common.linetype;
    inner.depth = ctx.depth + 1;
    for (const std::uint32_t record : records) Entity(record, inner, false);
}

void Builder::Table(const std::vector<Tag>& tags, const Affine& m, const Common& common,
                    const Resolved& res, const Context& ctx) {
    // Its block reference's name and point, then its direction (11) among the table's groups.
    std::string name;
    Vec2 p;
    Vec2 direction{1.0, 0.0};
    bool placed = false;
    bool directed = false;
    for (const Tag& t : tags) {
        if (t.code == 2 && name.empty()) name = LayerKey(t.text);
        if (t.code == 10 && !placed) p.x = t.real;
        if (t.code == 20 && !placed) {
            p.y = t.real;
            placed = true;
        }
        if (t.code == 11 && !directed) direction.x = t.real;
        if (t.code == 21 && !directed) {
            direction.y = t.real;
            directed = true;
        }
    }
    Snap(m(p), UnderlayPointKind::Insertion, res);
    const auto found = m_blocks.find(name);
    if (found == m_blocks.end()) return;
    const Vec2 along = Unit(direction, {1.0, 0.0});
    const Affine at = m * Translate(p) * Rotate(std::atan2(along.y, along.x)) *
                      Translate(-1.0 * found->second.base);
    BlockContent(found->second.records, at, common, res, ctx);
}

void Builder::MultiLeader(const std::vector<Tag>& tags, const Affine& m, const Common& common,
                          const Resolved& res, const Context& ctx) {
    std::vector<DxfTag> read;
    read.reserve(tags.size());
    for (const Tag& t : tags) read.push_back({t.code, t.text, 0, 0, t.real, t.integer});
    const dxf_roles::MultiLeaderShape shape =
        dxf_roles::ReadMultiLeader(read, dxf_roles::PartsOf(read));
    if (!shape.closed) return;
    if (shape.hasText && !shape.text.empty()) {
        // Through the MTEXT path: its top at the point, aligned as its column says.
        std::vector<Tag> text{
            {0, "MTEXT", 0.0, 0},
            {1, shape.text, 0.0, 0},
            {10, "", shape.textAt.x, 0},
            {20, "", shape.textAt.y, 0},
            {11, "", shape.textDirection.x, 0},
            {21, "", shape.textDirection.y, 0},
            {40, "", shape.textHeight, 0},
            {41, "", shape.textWidth, 0},
            {44, "", shape.lineSpacing, 0},
            {71, "", 0.0, std::clamp<std::int64_t>(shape.alignment, 1, 3)},
        };
        MultiLeaderTextLines(shape, MText(text, m, res), m, res);
    } else if (shape.hasBlock) {
        std::string handle = shape.blockRecord;
        std::ranges::transform(handle, handle.begin(),
                               [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        const auto record = m_blockRecords.find(handle);
        const auto found =
            record == m_blockRecords.end() ? m_blocks.end() : m_blocks.find(record->second);
        if (found != m_blocks.end() && shape.blockScale.x != 0.0 && shape.blockScale.y != 0.0) {
            const Affine at = m * Translate(shape.blockAt) * Rotate(shape.blockRotation) *
                              ScaleBy(shape.blockScale.x, shape.blockScale.y) *
                              Translate(-1.0 * found->second.base);
            BlockContent(found->second.records, at, common, res, ctx);
        }
    }
    if (shape.leaderType == 0) return;  // its leaders are not shown
    for (const dxf_roles::MultiLeaderLeader& leader : shape.leaders) {
        const Vec2 dogleg = leader.doglegLength *
                            (leader.hasDogleg ? Unit(leader.dogleg, {1.0, 0.0}) : Vec2{1.0, 0.0});
        for (const std::vector<Vec2>& line : leader.lines) {
            // From the arrowhead to where the leader lands, then along its dogleg.
            std::vector<Vec2> local = line;
            local.push_back(leader.point);
            if (leader.horizontal && shape.leaderType != 2) local.push_back(leader.point + dogleg);
            std::vector<Vec2> pts;
            for (const Vec2& q : local) {
                if (pts.empty() || m(q) != pts.back()) pts.push_back(m(q));
            }
            if (pts.size() < 2) continue;
            // A closed filled arrow at the first vertex, its size long and a third as wide; the
            // line starts at its back.
            const Vec2 d = Unit(pts[1] - pts[0], {1.0, 0.0});
            const double size = std::min(shape.arrowSize * m.Scale(), Distance(pts[0], pts[1]));
            if (size > 0.0) {
                const Vec2 side{-d.y, d.x};
                const Vec2 back = pts[0] + size * d;
                AddFill({{pts[0], back + (size / 6.0) * side, back - (size / 6.0) * side}}, res);
                Snap(pts[0], UnderlayPointKind::End, res);
                pts[0] = back;
            }
            if (shape.leaderType == 2 && pts.size() > 2) pts = ThroughFitPoints(pts);
            AddPolyline(pts, false, res);
        }
    }
}

void Builder::MultiLeaderTextLines(const dxf_roles::MultiLeaderShape& shape, const MTextBox& box,
                                   const Affine& m, const Resolved& res) {
    if (!box.drawn) return;
    const double gap = std::max(shape.landingGap, 0.0);
    const auto at = [&](double x, double y) { return m(box.at + x * box.along + y * box.up); };
    if (shape.textFrame) {
        // Around the lines' extents (their estimated advance), the landing gap clear of them.
        AddPolyline({at(box.left - gap, box.top + gap), at(box.right + gap, box.top + gap),
                     at(box.right + gap, box.bottom - gap), at(box.left - gap, box.bottom - gap)},
                    true, res);
    }
    if (shape.leaderType == 0) return;
    for (const dxf_roles::MultiLeaderLeader& leader : shape.leaders) {
        if (!leader.horizontal) continue;
        // From where the dogleg ends along the text, as long as the text and the gap: on the
        // text's left side the left attachment's underline, on its right the right one's.
        const Vec2 end =
            leader.point + leader.doglegLength * (leader.hasDogleg ? Unit(leader.dogleg, {1.0, 0.0})
                                                                   : Vec2{1.0, 0.0});
        const Vec2 d = end - box.at;
        const bool left = d.x * box.along.x + d.y * box.along.y <= 0.0;
        const std::int64_t type = left ? shape.leftAttachment : shape.rightAttachment;
        if (type != 5 && type != 6 && type != 8) continue;
        const double length = box.right - box.left + gap;
        AddPolyline({m(end), m(end + (left ? length : -length) * box.along)}, false, res);
    }
}

}  // namespace pelimator::board::underlay
