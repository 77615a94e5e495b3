// Jw_cad's JWW as one of the board's file formats.
#pragma once

#include "board/format/file_format.h"

namespace pelimator::board {

// The JWW format; lives as long as the program.
[[nodiscard]] const FileFormat& JwwFormat();

}  // namespace pelimator::board
