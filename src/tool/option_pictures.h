// The small pictures beside the wave and zigzag options, drawn rather than shipped.
#pragma once

#include <QIcon>

namespace pelimator {

QIcon WaveOptionPicture();
QIcon ZigzagOptionPicture();

}  // namespace pelimator
