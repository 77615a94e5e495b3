// AddArcWave: a wavy line of circular arcs along a path, added in one edit step.
#pragma once

#include <cstdint>

#include "host/host.h"

namespace pelimator {

// Adds one arc per segment of Path (P[i-1] to P[i]) to Drawing in the edit step "波線追加": chord
// Width from P[i-1] in the segment's direction, radius Radius, layer Layer, style 1, substyle 0,
// visible. The arcs bulge to alternate sides; the first to the right of travel when Dir is -1
// (True), to the left for every other Dir. Shows "波線を追加中...(" n "%)" per arc on status.
//
// Needs M_Calc::InitPi to have run. On any failure (host error, Radius < Width/2, two equal
// consecutive path points) the edit step is discarded with EndEdit(false), so the drawing is as
// before the call, and the error is rethrown. Once the step is committed, a failing Redraw leaves
// the committed arcs and its error still reaches the caller.
void AddArcWave(host::HostFactory& factory, double Radius, double Width, std::int16_t Dir,
                const host::HostPointList& Path, host::HostDrawing& Drawing, std::int32_t Layer,
                const host::StatusSink& status);

}  // namespace pelimator
