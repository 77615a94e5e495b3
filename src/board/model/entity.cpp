// Line and arc handles, their live points, and the arc's geometry helpers.
#include "board/model/entity.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>
#include <utility>

#include "host/errors.h"

namespace pelimator::board {

void BadEntityKind(EntityKind kind) {
    throw std::logic_error("entity kind " + std::to_string(static_cast<int>(kind)) +
                           " is none of the board's");
}

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

std::size_t ArcSegmentCount(double radius, double sweep, double tolerance,
                            std::size_t maxSegments) noexcept {
    // A chord of angle a lies radius * (1 - cos(a / 2)) inside the arc at most.
    double step = kTwoPi;
    if (radius > tolerance && tolerance > 0.0) step = 2.0 * std::acos(1.0 - tolerance / radius);
    const double segments = std::ceil(sweep / step);
    if (!(segments >= 1.0)) return 1;  // NaN lands here too
    if (segments >= static_cast<double>(maxSegments)) return std::max<std::size_t>(maxSegments, 1);
    return static_cast<std::size_t>(segments);
}

Box ConservativeBox(const EntityData& entity) noexcept {
    Box box{{std::min(entity.start.x, entity.end.x), std::min(entity.start.y, entity.end.y)},
            {std::max(entity.start.x, entity.end.x), std::max(entity.start.y, entity.end.y)}};
    // std::min / max drop a NaN operand silently; keep it visible to IsFiniteBox.
    if (!IsFinite(entity.start) || !IsFinite(entity.end)) box.min.x = NAN;
    switch (entity.kind) {
        case EntityKind::Line:
            return box;
        case EntityKind::Arc:
            break;
    }
    const double r = std::abs(entity.radius);
    box.min.x = std::min(box.min.x, entity.center.x - r);
    box.min.y = std::min(box.min.y, entity.center.y - r);
    box.max.x = std::max(box.max.x, entity.center.x + r);
    box.max.y = std::max(box.max.y, entity.center.y + r);
    if (!std::isfinite(entity.radius) || !IsFinite(entity.center)) box.min.x = NAN;
    return box;
}

std::vector<Vec2> FlattenEntity(const EntityData& entity, double tolerance) {
    switch (entity.kind) {
        case EntityKind::Line:
            return {entity.start, entity.end};
        case EntityKind::Arc:
            break;
    }
    const ArcAngles angles = AnglesOf(entity);
    const double radius = entity.radius;
    constexpr std::size_t kMaxSegments = 100000;
    // A chord turns a quarter at most, so a circle within the tolerance keeps its extent.
    const double quarters = std::ceil(angles.sweep / (std::numbers::pi / 2));
    const std::size_t least =
        quarters >= 1.0 && quarters <= 5.0 ? static_cast<std::size_t>(quarters) : 1;
    const std::size_t count =
        std::max(ArcSegmentCount(radius, angles.sweep, tolerance, kMaxSegments), least);
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

// ---- What line and arc handles share

template <typename Interface>
BoardLineHandle<Interface>::BoardLineHandle(EntitySlotPtr slot) : m_slot(std::move(slot)) {}

template <typename Interface>
bool BoardLineHandle<Interface>::Visible() const {
    return m_slot->Get().visible;
}
template <typename Interface>
void BoardLineHandle<Interface>::SetVisible(bool visible) {
    Edit(m_slot, [&](EntityData& d) { d.visible = visible; });
}
template <typename Interface>
std::int32_t BoardLineHandle<Interface>::Layer() const {
    return m_slot->Get().layer;
}
template <typename Interface>
void BoardLineHandle<Interface>::SetLayer(std::int32_t layer) {
    Edit(m_slot, [&](EntityData& d) { d.layer = layer; });
}
template <typename Interface>
std::int32_t BoardLineHandle<Interface>::Style() const {
    return m_slot->Get().style;
}
template <typename Interface>
void BoardLineHandle<Interface>::SetStyle(std::int32_t style) {
    Edit(m_slot, [&](EntityData& d) { d.style = style; });
}
template <typename Interface>
std::int32_t BoardLineHandle<Interface>::SubStyle() const {
    return m_slot->Get().subStyle;
}
template <typename Interface>
void BoardLineHandle<Interface>::SetSubStyle(std::int32_t subStyle) {
    Edit(m_slot, [&](EntityData& d) { d.subStyle = subStyle; });
}
template <typename Interface>
host::HostPointPtr BoardLineHandle<Interface>::StartPoint() {
    return std::make_shared<EntityPoint>(m_slot, SnapPointKind::Start);
}
template <typename Interface>
host::HostPointPtr BoardLineHandle<Interface>::EndPoint() {
    return std::make_shared<EntityPoint>(m_slot, SnapPointKind::End);
}
template <typename Interface>
EntityData BoardLineHandle<Interface>::Data() const {
    return m_slot->Get();
}

template class BoardLineHandle<host::HostLine>;
template class BoardLineHandle<host::HostArc>;

// ---- BoardLine and BoardArc

std::shared_ptr<BoardLine> BoardLine::CreateFree(const EntityData& data) {
    EntityData line = data;
    line.kind = EntityKind::Line;
    return std::make_shared<BoardLine>(MakeFreeSlot(line));
}

std::shared_ptr<BoardArc> BoardArc::CreateFree(const EntityData& data) {
    EntityData arc = data;
    arc.kind = EntityKind::Arc;
    return std::make_shared<BoardArc>(MakeFreeSlot(arc));
}

host::HostPointPtr BoardArc::Center() {
    return std::make_shared<EntityPoint>(Slot(), SnapPointKind::Center);
}
double BoardArc::Radius() const { return Slot()->Get().radius; }
void BoardArc::SetRadius(double radius) {
    if (!std::isfinite(radius) || radius < 0.0) {
        throw HostError("円弧の半径が正しくありません");
    }
    Edit(Slot(), [&](EntityData& d) { d.radius = radius; });
}
host::HostArcPtr BoardArc::Clone() const { return CreateFree(Slot()->Get()); }
void BoardArc::Move(double dx, double dy) {
    Edit(Slot(), [&](EntityData& d) { MoveEntity(d, {dx, dy}); });
}
void BoardArc::Rotate(const host::HostPoint& centre, double degrees) {
    const Vec2 pivot{centre.X(), centre.Y()};
    Edit(Slot(), [&](EntityData& d) { RotateEntity(d, pivot, degrees); });
}

host::HostEntityPtr MakeEntityHandle(EntitySlotPtr slot) {
    switch (slot->Get().kind) {
        case EntityKind::Line:
            return std::make_shared<BoardLine>(std::move(slot));
        case EntityKind::Arc:
            return std::make_shared<BoardArc>(std::move(slot));
    }
    BadEntityKind(slot->Get().kind);
}

const BoardEntity* AsBoardEntity(const host::HostEntity& entity) noexcept {
    return dynamic_cast<const BoardEntity*>(&entity);
}

}  // namespace pelimator::board
