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
// before the end (the start not counted), the straight distance from the last of them (or the
// start) to the path's last point, and the distance the walk computed last (what the end rule
// compares with a third of the pitch). Follows CalcPathPoints' walk step for step, so the counts
// agree with what it appends before its end rule.
struct DividerWalk {
    std::int64_t cuts = 0;
    double remainder = 0.0;
    double lastDistance = 0.0;
};
[[nodiscard]] DividerWalk WalkDividers(std::span<const PathPoint> points, double pitch);

// Whether CalcPathPoints' end rule appends the path's last point after this walk.
[[nodiscard]] bool EndAppended(const DividerWalk& walk, double pitch) noexcept;

// What FitToEnd did with the pitch.
enum class EndFit : std::uint8_t {
    Fitted,       // changed so that the last chord ends on the path's last point
    AlreadyEnds,  // the normal pitch already ends there (within kEndRemainderShare of a pitch)
    TooShort,     // no point of the path lies half a pitch from its start: no chord can end there
    NoFit,        // no pitch in range ends there for either count of chords tried
    NotAPitch,    // not positive and finite: CalcPathPoints refuses it
};

struct PitchFit {
    double pitch = 0.0;  // the pitch to use: the fitted one, or the normal one
    EndFit outcome = EndFit::NotAPitch;
    // The longest pitch tried, and whether `largest` (the wave's arcs cannot span more) cut the
    // range short of one and a half pitches.
    double longest = 0.0;
    bool limited = false;
};

// A pitch within [pitch / 2, min(3 pitch / 2, largest)] at which the dividers' last chord ends
// on the path's last point: the remainder the normal end rule would leave is spread over the
// chords instead. The count of chords is the normal one, plus one when the remainder is at least
// half a pitch (the end rule would have kept it as a short chord); when that count cannot be had
// within the range, the other one. For each count the pitch is found by a bracketing root finder
// on the walk's progress towards the end, run until the end lies within kEndRemainderShare of a
// pitch from where the last chord ends; where the count of cuts drops more than once within the
// range (a path turning back near its end), the other brackets are searched too, 400 walks in
// all at most. Otherwise the pitch stays as given, and the outcome says why.
// largest: the wave's chord may not exceed its arcs' diameter.
[[nodiscard]] PitchFit FitToEnd(std::span<const PathPoint> points, double pitch,
                                double largest = std::numeric_limits<double>::infinity());

// FitToEnd's pitch alone.
[[nodiscard]] double FitPitchToEnd(std::span<const PathPoint> points, double pitch,
                                   double largest = std::numeric_limits<double>::infinity());

}  // namespace pelimator
