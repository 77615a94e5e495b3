// The settings dialog's two illustrations, drawn as 87 × 87 monochrome images.
#pragma once

#include <QImage>

namespace pelimator::settings {

inline constexpr int kPictureSize = 87;

// One arc of the wave: W between the arc's two ends, R from the centre below it to the arc.
QImage WavePicture();

// A zigzag: W between two successive lower corners, H from the lower to the upper corners.
QImage ZigzagPicture();

}  // namespace pelimator::settings
