// Fitting the pitch to the path: a bisection on the count of the dividers' cuts.
#include "geometry/path_fit.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "geometry/calc.h"

namespace pelimator {

DividerWalk WalkDividers(std::span<const PathPoint> points, double pitch) {
    DividerWalk walk;
    if (points.empty()) return walk;
    PathPoint anchor = points[0];
    // The segment start the walk cuts from: CalcPathPoints overwrites the point before the one
    // examined with each cut, so a long segment takes several cuts a pitch apart.
    PathPoint before = points[0];
    std::size_t i = 1;
    while (i < points.size()) {
        const PathPoint p = points[i];
        if (M_Calc::GetManhattanDistance(anchor.x, anchor.y, p.x, p.y) < pitch ||
            M_Calc::GetDistance(anchor.x, anchor.y, p.x, p.y) < pitch) {
            before = p;
            ++i;
            continue;
        }
        if (M_Calc::GetDistance(anchor.x, anchor.y, p.x, p.y) == pitch) {
            ++walk.cuts;
            anchor = p;
            before = p;
            ++i;
            continue;
        }
        PathPoint cut{};
        M_Calc::GetCircleLineCross(anchor.x, anchor.y, pitch, before.x, before.y, p.x, p.y, cut.x,
                                   cut.y);
        // No progress: CalcPathPoints refuses such a pitch; the walk reports what it has.
        if (cut.x == anchor.x && cut.y == anchor.y) break;
        ++walk.cuts;
        before = cut;
        anchor = cut;
    }
    const PathPoint end = points.back();
    walk.remainder = M_Calc::GetDistance(anchor.x, anchor.y, end.x, end.y);
    return walk;
}

namespace {

// The bisection for a given count of chords: lo makes at least `chords` cuts (the last one at or
// before the end), hi fewer, so between them the chords-th cut reaches the end. The answer is the
// hi side, where the end lies just within a pitch of the last cut and the end rule appends it as
// the last chord. None when the bounds do not hold or the end does not come out a pitch from the
// last cut.
std::optional<double> FitChords(std::span<const PathPoint> points, std::int64_t chords, double lo,
                                double hi) {
    if (chords < 1 || !(hi > lo)) return std::nullopt;
    if (WalkDividers(points, lo).cuts < chords || WalkDividers(points, hi).cuts >= chords) {
        return std::nullopt;
    }
    for (int step = 0; step < 200; ++step) {
        const double mid = lo + (hi - lo) / 2.0;
        if (!(mid > lo && mid < hi)) break;
        if (WalkDividers(points, mid).cuts >= chords) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    // Where the path turns back within a pitch, the last cut can vanish without reaching the
    // end: the count drops while the end is still inside the circle. No fit for this count then.
    const DividerWalk walk = WalkDividers(points, hi);
    if (std::abs(walk.remainder - hi) > 1e-9 * hi) return std::nullopt;
    return hi;
}

}  // namespace

double FitPitchToEnd(std::span<const PathPoint> points, double pitch, double largest) {
    if (points.size() < 2 || !std::isfinite(pitch) || !(pitch > 0.0)) return pitch;
    const DividerWalk normal = WalkDividers(points, pitch);
    if (normal.remainder == 0.0) return pitch;
    // Fewer chords: the last cut moves onto the end (a longer pitch). More: the remainder becomes
    // a whole chord (a shorter pitch). The nearer one first, the other when it cannot be had.
    const auto longer = [&] {
        return FitChords(points, normal.cuts, pitch, std::min(pitch * 1.5, largest));
    };
    const auto shorter = [&] { return FitChords(points, normal.cuts + 1, pitch / 2.0, pitch); };
    const bool keepRemainder = normal.remainder >= pitch / 2.0;
    std::optional<double> fitted = keepRemainder ? shorter() : longer();
    if (!fitted) fitted = keepRemainder ? longer() : shorter();
    return fitted.value_or(pitch);
}

}  // namespace pelimator
