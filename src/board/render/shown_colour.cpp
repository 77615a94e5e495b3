// Colours as shown: a drawing's colour made visible on the background it is painted on.
#include "board/render/shown_colour.h"

#include <algorithm>

namespace pelimator::board {

namespace {

// The least difference of perceived lightness between a colour and its background.
constexpr double kMinContrast = 0.4;

}  // namespace

double PerceivedLightness(const QColor& colour) noexcept {
    return 0.299 * colour.redF() + 0.587 * colour.greenF() + 0.114 * colour.blueF();
}

QColor ColourOnBackground(Rgb colour, const QColor& background) {
    const QColor original(colour.r, colour.g, colour.b);
    const double backgroundLightness = PerceivedLightness(background);
    const double lightness = PerceivedLightness(original);
    if (backgroundLightness >= 0.5) {
        // Scaling all three channels darkens and keeps the hue.
        const double target = backgroundLightness - kMinContrast;
        if (lightness <= target) return original;
        const double k = std::max(0.0, target) / lightness;
        return QColor::fromRgbF(static_cast<float>(original.redF() * k),
                                static_cast<float>(original.greenF() * k),
                                static_cast<float>(original.blueF() * k));
    }
    // On a dark background, blend towards white instead.
    const double target = std::min(1.0, backgroundLightness + kMinContrast);
    if (lightness >= target) return original;
    const double t = (target - lightness) / (1.0 - lightness);
    const auto lift = [t](float channel) {
        return static_cast<float>(channel + (1.0 - channel) * t);
    };
    return QColor::fromRgbF(lift(original.redF()), lift(original.greenF()), lift(original.blueF()));
}

}  // namespace pelimator::board
