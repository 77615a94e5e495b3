// AddZigzagLine: a zigzag of straight legs along a path, added in one edit step.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace pelimator {

// Adds one leg per segment of Path to Drawing in the edit step "ジグザグ線追加": legs run from
// the path's first point to the apex of segment 1, then apex to apex. Segment l's apex lies
// Height/2 from its midpoint, perpendicular to it; the first on the left of travel when Dir is -1
// (True), on the right for every other Dir, and the sides alternate. No leg returns to the path's
// last point. Legs get layer Layer, style 1, substyle 0 and are visible. Shows
// "ジグザグ線を追加中...(" n "%)" per leg on status.
//
// An empty Path raises the host's error for Item(0). Failures are handled as in AddArcWave: the
// step is discarded with EndEdit(false) and the error rethrown.
void AddZigzagLine(host::HostFactory& factory, double Height, std::int16_t Dir,
                   const host::HostPointList& Path, host::HostDrawing& Drawing, std::int32_t Layer,
                   const host::StatusSink& status);

}  // namespace pelimator
