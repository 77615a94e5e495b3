// Curves built from picked points (polyline, B-spline near the points, centripetal spline through
// them), flattened adaptively into point sequences.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "board/model/types.h"
#include "host/host.h"
#include "host/point_list.h"

namespace pelimator::board {

// Tolerance used when nothing else is known: 0.01 drawing units (0.01 paper-mm at 1:1).
inline constexpr double kDefaultCurveTolerance = 0.01;

// Drops consecutive points that coincide exactly.
[[nodiscard]] std::vector<Vec2> DropRepeatedPoints(std::span<const Vec2> points);

// The flattened point sequence of a curve of the given kind through / near points:
//   Polyline      every distinct point, in order;
//   NearPoints    the clamped uniform B-spline of degree min(3, n-1) with points as control
//                 points: starts at the first point, ends at the last;
//   ThroughPoints a centripetal Catmull-Rom spline through every point (no cusps or loops
//                 within a span, whatever the spacing); the ends use mirrored neighbours.
// Consecutive exact duplicates in the input are dropped first. The result stays within
// tolerance of the true curve (both ways) with as few points as the method manages; consecutive
// output points always differ. A single distinct point gives that point alone; no points give
// an empty sequence. Raises HostError for a tolerance that is not positive and finite, or a
// point that is not finite.
[[nodiscard]] std::vector<Vec2> FlattenCurve(host::CurveKind kind, std::span<const Vec2> points,
                                             double tolerance);

// Exact point of the B-spline (NearPoints) at parameter u in [0, 1], for checks and drawing.
[[nodiscard]] Vec2 EvaluateNearPointsCurve(std::span<const Vec2> controlPoints, double u);
// Exact point of the centripetal spline (ThroughPoints) on span i (from point i to i + 1) at
// local parameter t in [0, 1]. Points must be distinct consecutively.
[[nodiscard]] Vec2 EvaluateThroughPointsCurve(std::span<const Vec2> points, std::size_t span,
                                              double t);

// The host curve: SetPoints builds and flattens; Points gives the flattened sequence. The
// tolerance comes from the provider given at construction (the factory passes 0.01 x the active
// drawing's scale factor), read at each SetPoints, unless SetTolerance fixed one.
class BoardCurve final : public host::HostCurve {
public:
    using ToleranceProvider = std::function<double()>;

    BoardCurve() = default;
    explicit BoardCurve(ToleranceProvider provider) : m_provider(std::move(provider)) {}

    [[nodiscard]] bool Visible() const override { return m_visible; }
    void SetVisible(bool visible) override { m_visible = visible; }
    // kind outside 0..2 raises HostError and leaves the curve as it was.
    void SetPoints(std::int16_t kind, const host::HostPointList& points) override;
    // The flattened sequence (the curve's own list: the same object until the next SetPoints).
    [[nodiscard]] host::HostPointListPtr Points() const override;

    void SetTolerance(double tolerance);
    [[nodiscard]] double Tolerance() const;
    [[nodiscard]] host::CurveKind Kind() const noexcept { return m_kind; }
    // The flattened sequence without host calls, for drawing.
    [[nodiscard]] const std::vector<Vec2>& Polyline() const noexcept { return m_polyline; }

private:
    ToleranceProvider m_provider;
    double m_fixedTolerance = 0.0;  // > 0 once SetTolerance was called
    bool m_visible = true;
    host::CurveKind m_kind = host::CurveKind::Polyline;
    std::vector<Vec2> m_polyline;
    mutable std::shared_ptr<host::PlainPointList> m_points;  // made from m_polyline when asked
};

}  // namespace pelimator::board
