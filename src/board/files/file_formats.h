// The formats the board reads and writes.
#pragma once

#include <span>
#include <string>

#include "board/format/file_format.h"

namespace pelimator::board {

// Every format, the default first: the one a new drawing is saved in and that reads a file no
// format claims (its reader then says what is wrong).
[[nodiscard]] std::span<const FileFormat* const> FileFormats();
[[nodiscard]] const FileFormat& DefaultFormat();

// The format that claims bytes read from path; the default when none does.
[[nodiscard]] const FileFormat& FormatOfBytes(std::string_view bytes, const std::string& path);
// The format that owns source; the default for none (a new drawing).
[[nodiscard]] const FileFormat& FormatOfSource(const DocumentSource* source);
// The format whose extension path's name has (any case); null when none.
[[nodiscard]] const FileFormat* FormatOfExtension(const std::string& path);

}  // namespace pelimator::board
