// Colours as shown: a drawing's colour made visible on the background it is painted on.
#pragma once

#include <QColor>

#include "board/model/types.h"

namespace pelimator::board {

// Perceived lightness of a colour, 0 (black) to 1 (white), weighting green most as the eye does.
[[nodiscard]] double PerceivedLightness(const QColor& colour) noexcept;

// A layer colour made visible on background: a colour whose perceived lightness is within 0.4 of
// the background's is darkened (on a dark background: lightened) to that distance, hue kept, so
// yellow becomes olive and white grey on a white background.
[[nodiscard]] QColor ColourOnBackground(Rgb colour, const QColor& background);

}  // namespace pelimator::board
