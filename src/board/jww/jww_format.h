// Jw_cad's JWW as one of the board's file formats.
#pragma once

#include "board/format/file_format.h"

namespace pelimator::board {

// The JWW format; lives as long as the program.
[[nodiscard]] const FileFormat& JwwFormat();

class JwwSource;
// The JWW drawing read behind source; null when source is of another format.
[[nodiscard]] const JwwSource* AsJwwSource(const DocumentSource& source) noexcept;

}  // namespace pelimator::board
