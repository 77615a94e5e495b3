// Fitting the pitch to the path: a bracketing root finder on the dividers' progress to the end.
#include "geometry/path_fit.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "geometry/calc.h"
#include "geometry/path_points.h"

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
        if (M_Calc::GetManhattanDistance(anchor.x, anchor.y, p.x, p.y) < pitch) {
            before = p;
            ++i;
            continue;
        }
        walk.lastDistance = M_Calc::GetDistance(anchor.x, anchor.y, p.x, p.y);
        if (walk.lastDistance < pitch) {
            before = p;
            ++i;
            continue;
        }
        if (walk.lastDistance == pitch) {
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

bool EndAppended(const DividerWalk& walk, double pitch) noexcept {
    return pitch / 3.0 < walk.lastDistance && walk.remainder >= kEndRemainderShare * pitch;
}

namespace {

// The path at this pitch ends on its last point: appended as the last chord, or reached by the
// last cut within the end rule's share of a pitch.
bool EndsOnTheEnd(const DividerWalk& walk, double pitch) {
    return EndAppended(walk, pitch) || walk.remainder < kEndRemainderShare * pitch;
}

// The chords of the path CalcPathPoints makes.
std::int64_t ChordsOf(const DividerWalk& walk, double pitch) {
    return walk.cuts + (EndAppended(walk, pitch) ? 1 : 0);
}

// A pitch with `chords` chords, all of it: the end appended as a last chord of the full pitch
// (exactly on the end), or reached by the last cut (within the share).
bool Fits(const DividerWalk& walk, std::int64_t chords, double pitch) {
    const double slack = kEndRemainderShare * pitch;
    if (walk.cuts == chords - 1) {
        return EndAppended(walk, pitch) && std::abs(pitch - walk.remainder) <= slack;
    }
    return walk.cuts == chords && walk.remainder < slack;
}

// The last of `chords` cuts exactly on the end: as exact as the end appended.
bool OnTheEnd(const DividerWalk& walk, std::int64_t chords) {
    return walk.cuts == chords && walk.remainder == 0.0;
}

// The walk's progress towards the end with `chords` chords: G(p) = (cuts - chords) p + remainder.
// Not below zero while at least `chords` cuts fit (the chords-th falls short of the end or on
// it), below zero once fewer do (the remainder is less than a pitch). Where the chords-th cut
// reaches the end, G is continuous (remainder 0 one side, p the other) and falls by about
// `chords` per unit of pitch; where the path turns back within a pitch of its end, the last cut
// can vanish before reaching it and G jumps there instead: no fit.
double Progress(const DividerWalk& walk, std::int64_t chords, double pitch) {
    return static_cast<double>(walk.cuts - chords) * pitch + walk.remainder;
}

// The walks one fit may take in all. A bracket of half a pitch comes down to neighbouring doubles
// in about 53 bisections; regula falsi on a gentle path takes 2 to 6 walks. The rest is for paths
// that turn back near their end, where the count of cuts can drop and come back within the range.
constexpr int kWalkBudget = 400;
// Pitches sampled across the range when the first bracket holds no fit.
constexpr int kScanSamples = 16;

// The search for a pitch giving `chords` chords that end on the path's end, within a budget of
// walks shared by the counts tried.
class ChordSearch {
public:
    ChordSearch(std::span<const PathPoint> points, int& budget)
        : m_points(points), m_budget(budget) {}

    // In [lo, hi]: first the bracket the range's ends make (at least `chords` cuts at lo, fewer
    // at hi), by regula falsi and then by bisection; then the brackets between kScanSamples
    // pitches across the range. None when none of them holds a fit.
    std::optional<double> Find(std::int64_t chords, double lo, double hi) {
        if (chords < 1 || !(hi > lo)) return std::nullopt;
        DividerWalk atLo;
        DividerWalk atHi;
        if (!Walk(lo, atLo) || !Walk(hi, atHi)) return std::nullopt;
        if (Fits(atHi, chords, hi)) return hi;
        if (OnTheEnd(atLo, chords)) return lo;
        if (atLo.cuts >= chords && atHi.cuts < chords) {
            if (const auto fit = FalsePosition(chords, lo, atLo, hi, atHi)) return fit;
            if (const auto fit = Bisection(chords, lo, atLo, hi, atHi)) return fit;
        }
        return Scan(chords, lo, hi);
    }

private:
    // The walk at pitch, if the budget allows one more.
    bool Walk(double pitch, DividerWalk& walk) {
        if (m_budget <= 0) return false;
        --m_budget;
        walk = WalkDividers(m_points, pitch);
        return true;
    }

    // Regula falsi on the progress with the Illinois weighting (a stalled end's value is halved),
    // bisecting whenever two steps did not halve the bracket, until hi fits (the end appended as
    // the last full chord) or the bracket is two neighbouring doubles; then lo may fit instead
    // (the last cut on the end within the share).
    std::optional<double> FalsePosition(std::int64_t chords, double lo, DividerWalk atLo, double hi,
                                        DividerWalk atHi) {
        double gLo = Progress(atLo, chords, lo);
        double gHi = Progress(atHi, chords, hi);
        int lastSide = 0;  // -1: lo moved last, +1: hi moved last
        double widthBefore = hi - lo;
        for (int step = 0;; ++step) {
            double next = lo + gLo * (hi - lo) / (gLo - gHi);
            const bool bisect = step % 2 == 1 && hi - lo > widthBefore / 2.0;
            if (step % 2 == 1) widthBefore = hi - lo;
            if (bisect || !(next > lo && next < hi)) next = lo + (hi - lo) / 2.0;
            DividerWalk walk;
            if (!(next > lo && next < hi) || !Walk(next, walk)) break;
            const double g = Progress(walk, chords, next);
            if (walk.cuts >= chords) {
                lo = next;
                atLo = walk;
                gLo = g;
                if (OnTheEnd(atLo, chords)) return lo;
                if (lastSide == -1) gHi /= 2.0;
                lastSide = -1;
            } else {
                hi = next;
                atHi = walk;
                gHi = g;
                if (Fits(atHi, chords, hi)) return hi;
                if (lastSide == 1) gLo /= 2.0;
                lastSide = 1;
            }
        }
        if (Fits(atLo, chords, lo)) return lo;
        return std::nullopt;
    }

    // Plain bisection of the same bracket: where the count of cuts drops more than once within
    // it, regula falsi may have closed in on a drop that is no fit while another one is.
    std::optional<double> Bisection(std::int64_t chords, double lo, DividerWalk atLo, double hi,
                                    DividerWalk atHi) {
        while (true) {
            const double mid = lo + (hi - lo) / 2.0;
            DividerWalk walk;
            if (!(mid > lo && mid < hi) || !Walk(mid, walk)) break;
            if (walk.cuts >= chords) {
                lo = mid;
                atLo = walk;
                if (OnTheEnd(atLo, chords)) return lo;
            } else {
                hi = mid;
                atHi = walk;
                if (Fits(atHi, chords, hi)) return hi;
            }
        }
        if (Fits(atLo, chords, lo)) return lo;
        return std::nullopt;
    }

    // The brackets between pitches sampled across the range, each searched as the first one.
    std::optional<double> Scan(std::int64_t chords, double lo, double hi) {
        double previous = lo;
        DividerWalk atPrevious;
        if (!Walk(previous, atPrevious)) return std::nullopt;
        for (int i = 1; i <= kScanSamples; ++i) {
            const double pitch = i == kScanSamples ? hi : lo + (hi - lo) * i / kScanSamples;
            DividerWalk walk;
            if (!Walk(pitch, walk)) return std::nullopt;
            if (Fits(walk, chords, pitch)) return pitch;
            if (atPrevious.cuts >= chords && walk.cuts < chords) {
                if (const auto fit = FalsePosition(chords, previous, atPrevious, pitch, walk)) {
                    return fit;
                }
                if (const auto fit = Bisection(chords, previous, atPrevious, pitch, walk)) {
                    return fit;
                }
            }
            previous = pitch;
            atPrevious = walk;
        }
        return std::nullopt;
    }

    std::span<const PathPoint> m_points;
    int& m_budget;
};

}  // namespace

PitchFit FitToEnd(std::span<const PathPoint> points, double pitch, double largest) {
    PitchFit result;
    result.pitch = pitch;
    if (!std::isfinite(pitch) || !(pitch > 0.0)) return result;
    if (points.size() < 2) {
        result.outcome = EndFit::TooShort;
        return result;
    }
    const DividerWalk normal = WalkDividers(points, pitch);
    const std::int64_t normalChords = ChordsOf(normal, pitch);
    if (normalChords > 0 && EndsOnTheEnd(normal, pitch) &&
        (!EndAppended(normal, pitch) || Fits(normal, normalChords, pitch))) {
        result.outcome = EndFit::AlreadyEnds;
        return result;
    }
    const double longest = std::min(pitch * 1.5, largest);
    result.longest = longest;
    result.limited = longest < pitch * 1.5;
    // Fewer chords: the last cut moves onto the end (a longer pitch). More: the remainder becomes
    // a whole chord (a shorter pitch). The nearer one first, the other when it cannot be had.
    int budget = kWalkBudget;
    ChordSearch search(points, budget);
    const auto longer = [&] { return search.Find(normal.cuts, pitch, longest); };
    const auto shorter = [&] { return search.Find(normal.cuts + 1, pitch / 2.0, pitch); };
    const bool keepRemainder = normal.remainder >= pitch / 2.0;
    std::optional<double> fitted = keepRemainder ? shorter() : longer();
    if (!fitted) fitted = keepRemainder ? longer() : shorter();
    if (fitted) {
        result.pitch = *fitted;
        result.outcome = EndFit::Fitted;
        return result;
    }
    double reach = 0.0;
    for (const PathPoint& p : points) {
        reach = std::max(reach, std::hypot(p.x - points[0].x, p.y - points[0].y));
    }
    result.outcome = reach < pitch / 2.0 ? EndFit::TooShort : EndFit::NoFit;
    return result;
}

double FitPitchToEnd(std::span<const PathPoint> points, double pitch, double largest) {
    return FitToEnd(points, pitch, largest).pitch;
}

}  // namespace pelimator
