// DXF as one of the board's file formats.
#pragma once

#include "board/format/file_format.h"

namespace pelimator::board {

// Whether bytes begin as a DXF file does: binary DXF's sentinel, or (after a byte order mark and
// blank space) a text group code 0 or 999 alone on its line.
[[nodiscard]] bool IsDxfBytes(std::string_view bytes) noexcept;

// The DXF format; lives as long as the program.
[[nodiscard]] const FileFormat& DxfFormat();

}  // namespace pelimator::board
