// One line from picked points to entities: layer choice, scale, curve, path and pattern.
#pragma once

#include <cstdint>

#include "settings/settings_file.h"
#include "base/errors.h"
#include "host/host.h"

namespace pelimator {

// The main window's choices for one line (option indices as the settings file stores them).
struct LineOptions {
    std::int16_t pathKind = 2;         // 0 polyline, 1 curve near the points, 2 through them
    std::int16_t lineKind = 0;         // 0 wave, 1 zigzag
    std::int32_t magnification = 100;  // percent
    std::int16_t dir = -1;             // -1 (True) when "左" is the up side
};

// What one line added, for the caller's summary.
struct LineResult {
    std::int32_t pathPoints = 0;  // points of the resampled path
    std::int32_t entities = 0;    // arcs or legs added
    std::int32_t layer = 0;       // the layer they lie on
};

// Settings that cannot make a line (a wave radius below half the width): refused before
// anything is drawn.
class SettingsError : public Error {
public:
    using Error::Error;
};

// The text shown when the wave radius is below half the width.
inline constexpr const char* kRadiusTooSmallMessage = "半径(R)は幅(W)÷２より大きく設定して下さい。";

// Name of the layer created when the configured layer number is missing.
inline constexpr const char* kNewLayerName = "地況線";

// Adds one wave or zigzag line along the curve of `picks` to `document`, in one edit step.
// Lengths: (setting mm × Denominator/Numerator) × magnification/100. Everything that can be
// refused (radius, scale) is checked before the drawing or its layers change; a failure later on
// leaves the drawing as it was (the pattern generators close their step with EndEdit(false)).
// Throws the error of whatever failed.
LineResult DrawLine(host::HostFactory& factory, host::HostDocument& document,
                    const host::HostPointList& picks, const LineOptions& options,
                    const settings::RunSettings& settings, const host::StatusSink& status);

// Drawing units per paper millimetre: Denominator ÷ Numerator of the document's scale.
double ScaleFactor(host::HostDocument& document);

}  // namespace pelimator
