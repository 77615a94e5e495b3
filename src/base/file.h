// Whole files: reading one at once, and replacing one so that a failure never leaves it damaged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <sys/types.h>

namespace pelimator {

// The file that a write through path replaces. A symbolic link is followed to its final target
// (relative links resolved against the link's folder), so that saving through a link updates
// what the link points at and keeps the link; any other path is itself. A dangling link yields
// the path it points at, which the write then creates.
[[nodiscard]] std::string ReplaceTarget(const std::string& path);

// Why a write through path would be refused before anything is written, in Japanese; empty
// when it may go ahead: the target (see ReplaceTarget) is a folder, a device, a named pipe or a
// socket, a loop of links, a name too long, or its folder is missing. WriteFileAtomically checks
// the same; callers with long work before the write ask first.
[[nodiscard]] std::string ReplaceRefusal(const std::string& path);

// How WriteFileAtomically replaces a file.
struct ReplaceOptions {
    // Runs when the new content is written and flushed, just before the rename, and also when
    // write fails: a FileError it raises refuses the replace instead (the old file stays). The
    // place to check that what the content was copied from (an opened drawing's mapped file) did
    // not change under the copy, so that the save says so rather than "saved" over a mixed copy,
    // or "the disk is full" over a copy that a file cut short made fail.
    std::function<void()> checkSources;
};

// Calls write(tempPath) to produce the new content in a temporary file beside the file that path
// names (see ReplaceTarget), flushes it to disk and renames it over that file, keeping the old
// file's permissions (a new file gets the usual ones). Only a missing or regular file is
// replaced, and a write-protected one (see IsWriteProtected) only with consent. When write
// throws or anything fails, the temporary file is removed and the old file is left as it was;
// failures of the file system raise FileError naming path, with the reason in Japanese. The
// temporary file has a short name of its own (base/temp_file.h), so any name the folder allows
// can be saved; SIGINT, SIGTERM or SIGHUP during the save remove it, and a later save into the
// folder removes what a killed run left.
void WriteFileAtomically(const std::string& path,
                         const std::function<void(const std::string& tempPath)>& write,
                         const ReplaceOptions& options = {});

// Whether the file that a write through path replaces exists and its permissions keep this user
// from writing it (mode 0444, or another's file without write permission for us; for the
// superuser, a file nobody may write). Such a file is replaced only with consent.
[[nodiscard]] bool IsWriteProtected(const std::string& path);

// Consent to replace the write-protected file at path: while the object lives, replaces of that
// file on this thread go ahead (the window asked the user; the batch was given --force). The
// replaced file keeps its permissions.
class WriteProtectedConsent {
public:
    explicit WriteProtectedConsent(const std::string& path);
    WriteProtectedConsent(const WriteProtectedConsent&) = delete;
    WriteProtectedConsent& operator=(const WriteProtectedConsent&) = delete;
    WriteProtectedConsent(WriteProtectedConsent&&) = delete;
    WriteProtectedConsent& operator=(WriteProtectedConsent&&) = delete;
    ~WriteProtectedConsent();

private:
    std::string m_target;
};

// The same with the content given: written in full, through the write hook below.
void ReplaceFileContent(const std::string& path, std::string_view content);

// Fault injection for tests: writeBytes stands in for write(2) in ReplaceFileContent;
// beforeRename runs just before the rename (before ReplaceOptions::checkSources) and, returning
// false, makes the replace fail.
struct FileWriteHooks {
    std::function<long(int fd, const char* data, std::size_t size)> writeBytes;
    std::function<bool(const std::string& tempPath)> beforeRename;
};
// Installs hooks for every later replace (pass {} to remove them). Not thread-safe.
void SetFileWriteHooks(FileWriteHooks hooks);

// No file is read whole beyond this, whatever a caller allows: the parsers index with int.
inline constexpr std::size_t kMaxWholeFileBytes = (std::size_t{1} << 31U) - 1;

// A whole file read without raising: what was read, or why not.
enum class ReadStatus {
    Ok,
    Missing,     // no such file (or an empty path)
    Failed,      // could not be opened or read: error says why
    TooLarge,    // larger than allowed: size says how large; nothing was read
    NotRegular,  // a folder (error EISDIR), a device, a named pipe or a socket: never opened
};
struct FileRead {
    ReadStatus status = ReadStatus::Missing;
    std::string content;
    mode_t mode = 0;         // permission bits of the file read
    int error = 0;           // errno of a failure
    std::uint64_t size = 0;  // the file's size, once known
    struct stat opened {};   // the opened file's status (TryOpenWholeFile), as its size was checked
};
// Reads the regular file at path, at most maxBytes (and at most kMaxWholeFileBytes). The type
// and size are checked before anything is read, and the open never blocks, so a named pipe or
// /dev/zero is refused at once as NotRegular and a huge file as TooLarge.
[[nodiscard]] FileRead TryReadWholeFile(const std::string& path, std::size_t maxBytes);

// Opens the regular file at path for reading with the same checks, without reading it: the open
// descriptor (the caller closes it) with result's status Ok, mode, size and opened filled in
// from one fstat of the descriptor (a caller that maps the file uses that size, never a later
// one); else -1 and result says why.
[[nodiscard]] int TryOpenWholeFile(const std::string& path, std::size_t maxBytes, FileRead& result);

// Why file (read from path with the limit maxBytes) could not be read: a Japanese sentence naming
// the file and the reason (both sizes for one too large); empty when it was read.
[[nodiscard]] std::string ReadFailureText(const FileRead& file, const std::string& path,
                                          std::size_t maxBytes);

// The whole content of a file; FileError naming the file, in Japanese, when it is missing, cannot
// be read, is no regular file or is larger than maxBytes (the message gives both sizes).
[[nodiscard]] std::string ReadWholeFile(const std::string& path, std::size_t maxBytes);

// The last component of a path, for messages.
[[nodiscard]] std::string FileNameOf(const std::string& path);

}  // namespace pelimator
