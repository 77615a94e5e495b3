// The LINE and ARC records a DXF save writes for entities new to the file.
#include <numbers>

#include "board/dxf/dxf_writer_records.h"

namespace pelimator::board::writer {

namespace {

constexpr double kRadiansToDegrees = 180.0 / std::numbers::pi;

void EntityHead(DxfEmitter& out, const DxfSource& source, const char* type, std::uint64_t handle,
                const std::string& layer, bool visible) {
    if (source.Modern()) {
        RecordHead(out, source, type, handle, source.modelSpaceHandle, {"AcDbEntity"});
    } else {
        RecordHead(out, source, type, handle, {}, {});
    }
    out.Text(8, layer);
    if (!visible && source.Modern()) out.Integer(60, 1);
}

void LineGroups(DxfEmitter& out, const DxfSource& source, const EntityData& entity) {
    if (source.Modern()) out.Text(100, "AcDbLine");
    out.Real(10, entity.start.x);
    out.Real(20, entity.start.y);
    out.Real(30, 0.0);
    out.Real(11, entity.end.x);
    out.Real(21, entity.end.y);
    out.Real(31, 0.0);
}

void ArcGroups(DxfEmitter& out, const DxfSource& source, const EntityData& entity) {
    const ArcAngles angles = AnglesOf(entity);
    const double from = angles.start * kRadiansToDegrees;
    const bool full = angles.sweep >= 2.0 * std::numbers::pi;
    const double to = full ? from + 360.0 : (angles.start + angles.sweep) * kRadiansToDegrees;
    if (source.Modern()) out.Text(100, "AcDbCircle");
    out.Real(10, entity.center.x);
    out.Real(20, entity.center.y);
    out.Real(30, 0.0);
    out.Real(40, entity.radius);
    if (source.Modern()) out.Text(100, "AcDbArc");
    out.Real(50, from);
    out.Real(51, to);
}

}  // namespace

void NewEntityRecord(DxfEmitter& out, const DxfSource& source, const EntityData& entity,
                     std::uint64_t handle, const std::string& layer) {
    switch (entity.kind) {
        case EntityKind::Line:
            EntityHead(out, source, "LINE", handle, layer, entity.visible);
            LineGroups(out, source, entity);
            return;
        case EntityKind::Arc:
            EntityHead(out, source, "ARC", handle, layer, entity.visible);
            ArcGroups(out, source, entity);
            return;
    }
    BadEntityKind(entity.kind);
}

}  // namespace pelimator::board::writer
