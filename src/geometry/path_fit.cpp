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
// The end a pitch from the last of chords - 1 cuts: what FitChords looks for.
bool EndsOnAChord(const DividerWalk& walk, std::int64_t chords, double pitch) {
    return walk.cuts == chords - 1 && std::abs(walk.remainder - pitch) <= 1e-9 * pitch;
}

// Newton's method on the walk's progress G(p) = cuts p + remainder - chords p, which is
// continuous where the last cut reaches the end (remainder 0 one side, p the other) and falls
// by about `chords` per unit of pitch: a straight path needs one step, a curve a few. Then
// nudged up to the side where the end is appended as the last chord. None when it does not
// settle there within [lo, hi].
std::optional<double> FitByNewton(std::span<const PathPoint> points, std::int64_t chords, double lo,
                                  double hi, double start) {
    double p = std::clamp(start, lo, hi);
    const auto count = static_cast<double>(chords);
    for (int step = 0; step < 20; ++step) {
        const DividerWalk walk = WalkDividers(points, p);
        const double progress = static_cast<double>(walk.cuts) * p + walk.remainder - count * p;
        const double next = std::clamp(p + progress / count, lo, hi);
        if (std::abs(next - p) <= 1e-13 * p) break;
        p = next;
    }
    double nudge = p * 1e-15;
    for (int step = 0; step < 40 && p <= hi; ++step) {
        const DividerWalk walk = WalkDividers(points, p);
        if (EndsOnAChord(walk, chords, p)) return p;
        if (walk.cuts < chords) return std::nullopt;  // past it: leave it to the bisection
        p += nudge;
        nudge *= 2.0;
    }
    return std::nullopt;
}

std::optional<double> FitChords(std::span<const PathPoint> points, std::int64_t chords, double lo,
                                double hi, double estimate) {
    if (chords < 1 || !(hi > lo)) return std::nullopt;
    if (const auto fitted = FitByNewton(points, chords, lo, hi, estimate)) return fitted;
    if (WalkDividers(points, lo).cuts < chords || WalkDividers(points, hi).cuts >= chords) {
        return std::nullopt;
    }
    // Down to a bracket far inside the end check below: about 33 walks for a pitch's range.
    const double close = (hi - lo) * 1e-10;
    for (int step = 0; step < 200 && hi - lo > close; ++step) {
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
    if (!EndsOnAChord(WalkDividers(points, hi), chords, hi)) return std::nullopt;
    return hi;
}

}  // namespace

double FitPitchToEnd(std::span<const PathPoint> points, double pitch, double largest) {
    if (points.size() < 2 || !std::isfinite(pitch) || !(pitch > 0.0)) return pitch;
    const DividerWalk normal = WalkDividers(points, pitch);
    if (normal.remainder == 0.0) return pitch;
    // Fewer chords: the last cut moves onto the end (a longer pitch). More: the remainder becomes
    // a whole chord (a shorter pitch). The nearer one first, the other when it cannot be had.
    // The walked length shared out: where Newton's method starts.
    const double walked = static_cast<double>(normal.cuts) * pitch + normal.remainder;
    const auto longer = [&] {
        return FitChords(points, normal.cuts, pitch, std::min(pitch * 1.5, largest),
                         walked / static_cast<double>(normal.cuts));
    };
    const auto shorter = [&] {
        return FitChords(points, normal.cuts + 1, pitch / 2.0, pitch,
                         walked / static_cast<double>(normal.cuts + 1));
    };
    const bool keepRemainder = normal.remainder >= pitch / 2.0;
    std::optional<double> fitted = keepRemainder ? shorter() : longer();
    if (!fitted) fitted = keepRemainder ? longer() : shorter();
    return fitted.value_or(pitch);
}

}  // namespace pelimator
