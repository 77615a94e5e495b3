// Lines and arcs of the board: their stored data and the host handles that read and edit it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "board/model/types.h"
#include "host/host.h"

namespace pelimator::board {

// Every switch over the kinds handles each one with no default, so that a new kind fails to
// compile (-Wswitch, warnings are errors) wherever it is not handled yet.
enum class EntityKind : std::uint8_t { Line, Arc };

// After such a switch: reached only by a value outside the enumeration (overwritten memory).
[[noreturn]] void BadEntityKind(EntityKind kind);

// One stored line or arc. An arc runs counter-clockwise (Y up) from start to end about center;
// radius is kept as set (it need not equal the distance of start or end from center). A line
// ignores center and radius.
struct EntityData {
    EntityKind kind = EntityKind::Line;
    bool visible = true;
    std::int32_t layer = 0;
    std::int32_t style = 0;
    std::int32_t subStyle = 0;
    Vec2 start;
    Vec2 end;
    Vec2 center;
    double radius = 0.0;

    friend bool operator==(const EntityData&, const EntityData&) = default;
};

[[nodiscard]] EntityData MakeLine(Vec2 start, Vec2 end, std::int32_t layer = 0);
// An arc from start to end, counter-clockwise about center, with radius |start - center|.
[[nodiscard]] EntityData MakeArc(Vec2 center, Vec2 start, Vec2 end, std::int32_t layer = 0);

// Start angle and counter-clockwise sweep of an arc, in radians: start in (-pi, pi], sweep in
// (0, 2 pi]. Equal start and end angles make a full circle (sweep 2 pi).
struct ArcAngles {
    double start;
    double sweep;
};
[[nodiscard]] ArcAngles AnglesOf(const EntityData& arc) noexcept;

// Moves every point of the entity.
void MoveEntity(EntityData& entity, Vec2 delta) noexcept;
// Turns every point of the entity about pivot; degrees, positive counter-clockwise.
void RotateEntity(EntityData& entity, Vec2 pivot, double degrees) noexcept;

// How many chords an arc of this radius needs over sweep (radians) so that no chord lies farther
// than tolerance inside the arc: at least 1, at most maxSegments. A radius at or below the
// tolerance, a tolerance that is not positive, or NaN give 1.
[[nodiscard]] std::size_t ArcSegmentCount(double radius, double sweep, double tolerance,
                                          std::size_t maxSegments) noexcept;

// A box that holds the whole entity: a line's two ends, an arc's ends and its full circle (at the
// stored radius, so the centre too). Cheap (no trigonometry) and never smaller than the drawn
// entity. A coordinate that is not finite means the entity cannot be drawn or caught.
[[nodiscard]] Box ConservativeBox(const EntityData& entity) noexcept;

// The entity as a point sequence: a line's two ends, or an arc flattened so that no point of the
// arc (at its stored radius) is farther than tolerance from the sequence. At least two points.
[[nodiscard]] std::vector<Vec2> FlattenEntity(const EntityData& entity, double tolerance);

// The points snapping can catch on an entity: both ends, and an arc's centre.
enum class SnapPointKind : std::uint8_t { Start = 0, End = 1, Center = 2 };

// Where an entity's data lives: its own storage (a free-standing entity) or a slot of a drawing.
// Get and Set raise HostError when the drawing no longer holds the entity.
class EntitySlot {
public:
    virtual ~EntitySlot() = default;
    [[nodiscard]] virtual const EntityData& Get() const = 0;
    virtual void Set(const EntityData& data) = 0;
};
using EntitySlotPtr = std::shared_ptr<EntitySlot>;

// A free-standing slot holding its own copy.
[[nodiscard]] EntitySlotPtr MakeFreeSlot(const EntityData& data);

// What every board entity handle offers beyond the host interfaces.
class BoardEntity {
public:
    virtual ~BoardEntity() = default;
    [[nodiscard]] virtual EntityData Data() const = 0;
    [[nodiscard]] virtual const EntitySlotPtr& Slot() const noexcept = 0;
};

// What line and arc handles share: the line attributes and the live end points, read and
// written through the slot. Interface is host::HostLine or host::HostArc.
template <typename Interface>
class BoardLineHandle : public Interface, public BoardEntity {
public:
    explicit BoardLineHandle(EntitySlotPtr slot);

    [[nodiscard]] bool Visible() const override;
    void SetVisible(bool visible) override;
    [[nodiscard]] std::int32_t Layer() const override;
    void SetLayer(std::int32_t layer) override;
    [[nodiscard]] std::int32_t Style() const override;
    void SetStyle(std::int32_t style) override;
    [[nodiscard]] std::int32_t SubStyle() const override;
    void SetSubStyle(std::int32_t subStyle) override;
    [[nodiscard]] host::HostPointPtr StartPoint() override;
    [[nodiscard]] host::HostPointPtr EndPoint() override;

    [[nodiscard]] EntityData Data() const override;
    [[nodiscard]] const EntitySlotPtr& Slot() const noexcept override { return m_slot; }

private:
    EntitySlotPtr m_slot;
};
extern template class BoardLineHandle<host::HostLine>;
extern template class BoardLineHandle<host::HostArc>;

// A line handle. Its points are live: SetX / SetY on StartPoint() moves the line's start.
class BoardLine final : public BoardLineHandle<host::HostLine> {
public:
    using BoardLineHandle::BoardLineHandle;
    [[nodiscard]] static std::shared_ptr<BoardLine> CreateFree(const EntityData& data);
};

// An arc handle: a line's attributes plus a live centre, the radius, and transforms.
class BoardArc final : public BoardLineHandle<host::HostArc> {
public:
    using BoardLineHandle::BoardLineHandle;
    [[nodiscard]] static std::shared_ptr<BoardArc> CreateFree(const EntityData& data);

    [[nodiscard]] host::HostPointPtr Center() override;
    [[nodiscard]] double Radius() const override;
    // A radius that is not finite or is negative raises HostError.
    void SetRadius(double radius) override;
    [[nodiscard]] host::HostArcPtr Clone() const override;
    void Move(double dx, double dy) override;
    void Rotate(const host::HostPoint& centre, double degrees) override;
};

// A handle of the right type (BoardLine or BoardArc) onto slot.
[[nodiscard]] host::HostEntityPtr MakeEntityHandle(EntitySlotPtr slot);

// The data of a board entity handle, or nullptr for anything else (a curve, a foreign entity).
[[nodiscard]] const BoardEntity* AsBoardEntity(const host::HostEntity& entity) noexcept;

}  // namespace pelimator::board
