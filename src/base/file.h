// Whole files: reading one at once, and replacing one so that a failure never leaves it damaged.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace pelimator {

// The file that a write through path replaces. A symbolic link is followed to its final target
// (relative links resolved against the link's folder), so that saving through a link updates
// what the link points at and keeps the link; any other path is itself. A dangling link yields
// the path it points at, which the write then creates.
[[nodiscard]] std::string ReplaceTarget(const std::string& path);

// Calls write(tempPath) to produce the new content in a temporary file beside the file that path
// names (see ReplaceTarget), flushes it to disk and renames it over that file, keeping the old
// file's permissions (a new file gets the usual ones). When write throws or anything fails, the
// temporary file is removed and the old file is left as it was; failures of the file system
// raise FileError naming path.
void WriteFileAtomically(const std::string& path,
                         const std::function<void(const std::string& tempPath)>& write);

// The same with the content given: written in full, through the write hook below.
void ReplaceFileContent(const std::string& path, std::string_view content);

// Fault injection for tests: writeBytes stands in for write(2) in ReplaceFileContent;
// beforeRename runs just before the rename and, returning false, makes the replace fail.
struct FileWriteHooks {
    std::function<long(int fd, const char* data, std::size_t size)> writeBytes;
    std::function<bool(const std::string& tempPath)> beforeRename;
};
// Installs hooks for every later replace (pass {} to remove them). Not thread-safe.
void SetFileWriteHooks(FileWriteHooks hooks);

// A whole file read without raising: what was read, or why not.
enum class ReadStatus { Ok, Missing, Failed, TooLarge };
struct FileRead {
    ReadStatus status = ReadStatus::Missing;
    std::string content;
    mode_t mode = 0;  // permission bits of the file read
    int error = 0;    // errno of a failure
};
// Reads the regular file at path, at most maxBytes; an empty path is Missing.
[[nodiscard]] FileRead TryReadWholeFile(const std::string& path, std::size_t maxBytes);

// The whole content of a file; FileError naming path when it cannot be read or is larger than
// maxBytes.
[[nodiscard]] std::string ReadWholeFile(const std::string& path, std::size_t maxBytes);

// The last component of a path, for messages.
[[nodiscard]] std::string FileNameOf(const std::string& path);

}  // namespace pelimator
