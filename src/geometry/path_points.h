// CalcPathPoints: resamples a polyline into points a fixed straight-line distance apart.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace pelimator {

// A final piece shorter than this share of the pitch is no chord of its own: it is what rounding
// leaves of a path whose length is a whole number of pitches, so the path ends at its last cut,
// which then lies on the polyline's last point within this share of the pitch.
inline constexpr double kEndRemainderShare = 1e-9;

// Walks Source like a pair of dividers: starting at its first point, appends to Dest points that
// lie on the polyline exactly Pitch (a chord, not an arc length) from the point appended before,
// then the polyline's last point when the final piece counts (see the end rule in the .cpp) and
// is at least kEndRemainderShare × Pitch long. Consecutive appended points always differ.
//
// Source is read point by point, each coordinate through its own Item call, and is overwritten
// where a cut falls (the caller discards it afterwards). Count receives the number of appended
// points. Progress texts "座標計算中...(" n "%)" go to status, one per examination.
//
// Raises ArithmeticError for a Pitch that is zero, negative or not finite (before anything is
// appended) or for a pitch too small for the coordinates to advance; OverflowError when a 32-bit
// counter would overflow; host errors pass through. Points appended before a failure stay in Dest.
void CalcPathPoints(host::HostPointList& Source, double Pitch, host::HostPointList& Dest,
                    std::int32_t& Count, const host::StatusSink& status);

}  // namespace pelimator
