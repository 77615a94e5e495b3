// Record edits carried over to the kept inserts and dimensions of a DXF saved as JWW.
#include "board/convert/dxf_block_edits.h"

#include <cmath>
#include <numbers>
#include <span>

#include "board/dxf/dxf_transform.h"

namespace pelimator::board {

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

// The insert placed: a turn keeps its scales as they are; a mirror or scale takes its axes
// through the placement and reads them back (a mirrored insert scaled -1 in y).
void Place(const RecordPlacement& placement, DxfPlacement& p) {
    p.at = PlacePoint(placement, p.at);
    if (IsRigidTurn(placement)) {
        p.radians += placement.degrees * kRadiansPerDegree;
        return;
    }
    const Vec2 along{std::cos(p.radians), std::sin(p.radians)};
    const Vec2 x = PlaceDirection(placement, p.scaleX * along);
    const Vec2 y = PlaceDirection(placement, p.scaleY * Vec2{-along.y, along.x});
    p.radians = std::atan2(x.y, x.x);
    p.scaleX = std::hypot(x.x, x.y);
    const double sign = x.x * y.y - x.y * y.x < 0.0 ? -1.0 : 1.0;
    p.scaleY = sign * std::hypot(y.x, y.y);
}

void Place(const RecordPlacement& placement, DxfDimensionPlace& d) {
    d.line = PlacePoint(placement, d.line);
    d.first = PlacePoint(placement, d.first);
    d.second = PlacePoint(placement, d.second);
    d.radians = PlaceAngle(placement, d.radians / kRadiansPerDegree) * kRadiansPerDegree;
}

// Each kept item with an edit placed (erased ones dropped), its layer the name of the board layer
// it was put on.
template <typename Kept>
void Edit(std::vector<Kept>& kept, const DxfRecordEdits& edits, std::span<const LayerData> layers) {
    std::erase_if(kept, [&](Kept& k) {
        const auto found = edits.find(k.record);
        if (found == edits.end()) return false;
        const RecordEdit& edit = found->second;
        if (edit.erased) return true;
        for (const RecordPlacement& placement : edit.placements) Place(placement, k);
        if (edit.layer) {
            for (const LayerData& layer : layers) {
                if (layer.number == *edit.layer) k.layer = layer.name;
            }
        }
        return false;
    });
}

}  // namespace

DxfRecordEdits ApplyDxfRecordEdits(const DxfSource& source, const DxfRecordEdits& edits,
                                   std::span<const LayerData> layers,
                                   DxfBlockStructure& structure) {
    DxfRecordEdits attributes;
    for (const DxfPlacement& p : structure.inserts) {
        const auto found = edits.find(p.record);
        if (found == edits.end()) continue;
        const std::size_t end = DxfRecordEnd(source, p.record);
        for (std::size_t r = p.record + 1; r < end; ++r) {
            const auto drawn = structure.blockOfRecord.find(static_cast<std::uint32_t>(r));
            if (drawn != structure.blockOfRecord.end() &&
                drawn->second == DxfBlockStructure::kModelSpace) {
                attributes.emplace(drawn->first, found->second);
            }
        }
    }
    Edit(structure.inserts, edits, layers);
    Edit(structure.dimensions, edits, layers);
    // An edited dimension written as parts is left to the edited underlay, which draws it where
    // the edit put it (or not at all, erased).
    std::erase_if(structure.dimensionParts,
                  [&](const DxfDimensionParts& d) { return edits.contains(d.record); });
    return attributes;
}

}  // namespace pelimator::board
