// Line and arc handles, their live points, and the arc's geometry helpers.
#include "board/model/entity.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "host/errors.h"

namespace pelimator::board {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

class FreeSlot final : public EntitySlot {
public:
    explicit FreeSlot(const EntityData& data) : m_data(data) {}
    [[nodiscard]] const EntityData& Get() const override { return m_data; }
    void Set(const EntityData& data) override { m_data = data; }

private:
    EntityData m_data;
};

Vec2& PointOf(EntityData& data, SnapPointKind which) noexcept {
    switch (which) {
        case SnapPointKind::Start:
            return data.start;
        case SnapPointKind::End:
            return data.end;
        case SnapPointKind::Center:
            break;
    }
    return data.center;
}

// A live point of an entity: reads and writes go through the entity's slot.
class EntityPoint final : public host::HostPoint {
public:
    EntityPoint(EntitySlotPtr slot, SnapPointKind which)
        : m_slot(std::move(slot)), m_which(which) {}
    [[nodiscard]] double X() const override { return Read().x; }
    [[nodiscard]] double Y() const override { return Read().y; }
    void SetX(double x) override {
        EntityData data = m_slot->Get();
        PointOf(data, m_which).x = x;
        m_slot->Set(data);
    }
    void SetY(double y) override {
        EntityData data = m_slot->Get();
        PointOf(data, m_which).y = y;
        m_slot->Set(data);
    }

private:
    [[nodiscard]] Vec2 Read() const {
        EntityData data = m_slot->Get();
        return PointOf(data, m_which);
    }
    EntitySlotPtr m_slot;
    SnapPointKind m_which;
};

template <typename Change>
void Edit(const EntitySlotPtr& slot, Change change) {
    EntityData data = slot->Get();
    change(data);
    slot->Set(data);
}

Vec2 RotatePoint(Vec2 p, Vec2 pivot, double cosine, double sine) noexcept {
    const Vec2 d = p - pivot;
    return {pivot.x + d.x * cosine - d.y * sine, pivot.y + d.x * sine + d.y * cosine};
}

}  // namespace

EntityData MakeLine(Vec2 start, Vec2 end, std::int32_t layer) {
    EntityData data;
    data.kind = EntityKind::Line;
    data.layer = layer;
    data.start = start;
    data.end = end;
    return data;
}

EntityData MakeArc(Vec2 center, Vec2 start, Vec2 end, std::int32_t layer) {
    EntityData data;
    data.kind = EntityKind::Arc;
    data.layer = layer;
    data.center = center;
    data.start = start;
    data.end = end;
    data.radius = Distance(start, center);
    return data;
}

ArcAngles AnglesOf(const EntityData& arc) noexcept {
    const double start = std::atan2(arc.start.y - arc.center.y, arc.start.x - arc.center.x);
    const double end = std::atan2(arc.end.y - arc.center.y, arc.end.x - arc.center.x);
    double sweep = end - start;
    if (sweep <= 0.0) sweep += kTwoPi;
    return {start, sweep};
}

void MoveEntity(EntityData& entity, Vec2 delta) noexcept {
    entity.start = entity.start + delta;
    entity.end = entity.end + delta;
    entity.center = entity.center + delta;
}

void RotateEntity(EntityData& entity, Vec2 pivot, double degrees) noexcept {
    const double radians = degrees * std::numbers::pi / 180.0;
    const double cosine = std::cos(radians);
    const double sine = std::sin(radians);
    entity.start = RotatePoint(entity.start, pivot, cosine, sine);
    entity.end = RotatePoint(entity.end, pivot, cosine, sine);
    entity.center = RotatePoint(entity.center, pivot, cosine, sine);
}

std::vector<Vec2> FlattenEntity(const EntityData& entity, double tolerance) {
    if (entity.kind == EntityKind::Line) return {entity.start, entity.end};
    const ArcAngles angles = AnglesOf(entity);
    const double radius = entity.radius;
    // A chord of angle a lies radius * (1 - cos(a / 2)) inside the arc at most.
    double step = kTwoPi;
    if (radius > tolerance && tolerance > 0.0) step = 2.0 * std::acos(1.0 - tolerance / radius);
    constexpr double kMaxSegments = 100000.0;
    const double segments =
        std::clamp(std::ceil(angles.sweep / step), 1.0, kMaxSegments);  // NaN-safe below
    const auto count = static_cast<std::size_t>(std::isfinite(segments) ? segments : 1.0);
    std::vector<Vec2> points;
    points.reserve(count + 1);
    for (std::size_t i = 0; i <= count; ++i) {
        const double a =
            angles.start + angles.sweep * static_cast<double>(i) / static_cast<double>(count);
        points.push_back(
            {entity.center.x + radius * std::cos(a), entity.center.y + radius * std::sin(a)});
    }
    return points;
}

EntitySlotPtr MakeFreeSlot(const EntityData& data) { return std::make_shared<FreeSlot>(data); }

// ---- BoardLine

BoardLine::BoardLine(EntitySlotPtr slot) : m_slot(std::move(slot)) {}

std::shared_ptr<BoardLine> BoardLine::CreateFree(const EntityData& data) {
    EntityData line = data;
    line.kind = EntityKind::Line;
    return std::make_shared<BoardLine>(MakeFreeSlot(line));
}

bool BoardLine::Visible() const { return m_slot->Get().visible; }
void BoardLine::SetVisible(bool visible) {
    Edit(m_slot, [&](EntityData& d) { d.visible = visible; });
}
std::int32_t BoardLine::Layer() const { return m_slot->Get().layer; }
void BoardLine::SetLayer(std::int32_t layer) {
    Edit(m_slot, [&](EntityData& d) { d.layer = layer; });
}
std::int32_t BoardLine::Style() const { return m_slot->Get().style; }
void BoardLine::SetStyle(std::int32_t style) {
    Edit(m_slot, [&](EntityData& d) { d.style = style; });
}
std::int32_t BoardLine::SubStyle() const { return m_slot->Get().subStyle; }
void BoardLine::SetSubStyle(std::int32_t subStyle) {
    Edit(m_slot, [&](EntityData& d) { d.subStyle = subStyle; });
}
host::HostPointPtr BoardLine::StartPoint() {
    return std::make_shared<EntityPoint>(m_slot, SnapPointKind::Start);
}
host::HostPointPtr BoardLine::EndPoint() {
    return std::make_shared<EntityPoint>(m_slot, SnapPointKind::End);
}
EntityData BoardLine::Data() const { return m_slot->Get(); }

// ---- BoardArc

BoardArc::BoardArc(EntitySlotPtr slot) : m_slot(std::move(slot)) {}

std::shared_ptr<BoardArc> BoardArc::CreateFree(const EntityData& data) {
    EntityData arc = data;
    arc.kind = EntityKind::Arc;
    return std::make_shared<BoardArc>(MakeFreeSlot(arc));
}

bool BoardArc::Visible() const { return m_slot->Get().visible; }
void BoardArc::SetVisible(bool visible) {
    Edit(m_slot, [&](EntityData& d) { d.visible = visible; });
}
std::int32_t BoardArc::Layer() const { return m_slot->Get().layer; }
void BoardArc::SetLayer(std::int32_t layer) {
    Edit(m_slot, [&](EntityData& d) { d.layer = layer; });
}
std::int32_t BoardArc::Style() const { return m_slot->Get().style; }
void BoardArc::SetStyle(std::int32_t style) {
    Edit(m_slot, [&](EntityData& d) { d.style = style; });
}
std::int32_t BoardArc::SubStyle() const { return m_slot->Get().subStyle; }
void BoardArc::SetSubStyle(std::int32_t subStyle) {
    Edit(m_slot, [&](EntityData& d) { d.subStyle = subStyle; });
}
host::HostPointPtr BoardArc::StartPoint() {
    return std::make_shared<EntityPoint>(m_slot, SnapPointKind::Start);
}
host::HostPointPtr BoardArc::EndPoint() {
    return std::make_shared<EntityPoint>(m_slot, SnapPointKind::End);
}
host::HostPointPtr BoardArc::Center() {
    return std::make_shared<EntityPoint>(m_slot, SnapPointKind::Center);
}
double BoardArc::Radius() const { return m_slot->Get().radius; }
void BoardArc::SetRadius(double radius) {
    if (!std::isfinite(radius) || radius < 0.0) {
        throw HostError("円弧の半径が正しくありません");
    }
    Edit(m_slot, [&](EntityData& d) { d.radius = radius; });
}
host::HostArcPtr BoardArc::Clone() const { return CreateFree(m_slot->Get()); }
void BoardArc::Move(double dx, double dy) {
    Edit(m_slot, [&](EntityData& d) { MoveEntity(d, {dx, dy}); });
}
void BoardArc::Rotate(const host::HostPoint& centre, double degrees) {
    const Vec2 pivot{centre.X(), centre.Y()};
    Edit(m_slot, [&](EntityData& d) { RotateEntity(d, pivot, degrees); });
}
EntityData BoardArc::Data() const { return m_slot->Get(); }

host::HostEntityPtr MakeEntityHandle(EntitySlotPtr slot) {
    if (slot->Get().kind == EntityKind::Arc) return std::make_shared<BoardArc>(std::move(slot));
    return std::make_shared<BoardLine>(std::move(slot));
}

const BoardEntity* AsBoardEntity(const host::HostEntity& entity) noexcept {
    return dynamic_cast<const BoardEntity*>(&entity);
}

}  // namespace pelimator::board
