// The converted copies the board can write: a drawing read in one format saved as another.
#pragma once

#include "board/format/file_format.h"

namespace pelimator::board {

// The conversion that writes drawings read as from as files of format to; null when there is
// none (a save then writes the board's own lines, arcs and layers as a new drawing).
[[nodiscard]] const FormatConversion* ConversionBetween(const FileFormat& from,
                                                        const FileFormat& to);

}  // namespace pelimator::board
