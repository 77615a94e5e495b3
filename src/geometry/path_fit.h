// The pitch that makes the equal-chord resampling end exactly at the path's last point.
#pragma once

#include <cstdint>
#include <limits>
#include <span>

namespace pelimator {

struct PathPoint {
    double x;
    double y;
};

// What CalcPathPoints' dividers make of points at pitch, without writing anything: the cuts made
// before the end (the start not counted) and the straight distance from the last of them (or the
// start) to the path's last point. Follows CalcPathPoints' walk step for step, so the counts
// agree with what it appends before its end rule.
struct DividerWalk {
    std::int64_t cuts = 0;
    double remainder = 0.0;
};
[[nodiscard]] DividerWalk WalkDividers(std::span<const PathPoint> points, double pitch);

// A pitch within [pitch / 2, min(3 pitch / 2, largest)] at which the dividers' last chord ends
// on the path's last point: the remainder the normal end rule would leave is spread over the
// chords instead. The count of chords is the normal one, plus one when the remainder is at least
// half a pitch (the end rule would have kept it as a short chord); when that count cannot be had
// within the range, the other one. Returns pitch unchanged when neither can (a path shorter than
// half a pitch, or one that turns back towards the last cut within a pitch of its end), when the
// remainder is already zero, or when pitch is not positive and finite (CalcPathPoints refuses it).
// largest: the wave's chord may not exceed its arcs' diameter.
[[nodiscard]] double FitPitchToEnd(std::span<const PathPoint> points, double pitch,
                                   double largest = std::numeric_limits<double>::infinity());

}  // namespace pelimator
