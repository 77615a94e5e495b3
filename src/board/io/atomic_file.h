// Writing a file so that a failure never leaves the old one damaged.
#pragma once

#include <functional>
#include <string>

namespace pelimator::board {

// Calls write(tempPath) to produce the new content in a temporary file beside path, flushes it
// to disk and renames it over path. When write throws or anything fails, the temporary file is
// removed and path is left as it was; failures of the file system raise FileError naming path.
void WriteFileAtomically(const std::string& path,
                         const std::function<void(const std::string& tempPath)>& write);

// The whole content of a file; FileError naming path when it cannot be read or is larger than
// maxBytes.
[[nodiscard]] std::string ReadWholeFile(const std::string& path, std::size_t maxBytes);

// The last component of a path, for messages.
[[nodiscard]] std::string FileNameOf(const std::string& path);

}  // namespace pelimator::board
