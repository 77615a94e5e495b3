// The temporary file of one atomic replace: a short name of a fixed pattern beside the target,
// removed when SIGINT, SIGTERM or SIGHUP arrives during the save, and swept up by a later save
// into the same folder when the process that made it is gone.
#pragma once

#include <string>
#include <string_view>

#include <sys/types.h>

namespace pelimator {

// Our temporary files are named kTempFilePrefix, the creating process's id, '-', and six letters
// or digits ("pelimator-tmp-4711-a8Zk0q"): at most 31 bytes, whatever the target's name.
inline constexpr std::string_view kTempFilePrefix = "pelimator-tmp-";

// The process id in a name of that pattern, or -1 for any other name.
[[nodiscard]] pid_t TempFileOwner(std::string_view name) noexcept;

// A temporary file nobody holds is taken as left behind once it is this old, whichever process
// its name says made it (process ids are used again).
inline constexpr long kStaleTempSeconds = 15 * 60;

// Removes from the folder open as folderFd the regular files of that pattern that nobody writes
// any more: no one holds their lock (a writer, also on another machine sharing the folder, holds
// it as long as it writes), and their process is gone, or they were written before the system
// last started, or more than kStaleTempSeconds ago. Best effort: whatever cannot be checked
// stays.
void RemoveStaleTempFiles(int folderFd) noexcept;

// Signals during a save: while a TempFile exists, SIGINT, SIGTERM and SIGHUP first remove it
// (async-signal-safe: unlinkat of a name kept in a fixed slot) and then act as they did before:
// with the default action the program ends by the signal, as it would have without the save; a
// handler of the program's own is called and the save then fails as interrupted; an ignored
// signal stays ignored (no handler is installed for it). The handlers are installed when the
// first save begins and the previous ones restored when the last one ends.
class TempFile {
public:
    // Opens folder, sweeps it (RemoveStaleTempFiles) and creates a new empty file there
    // (mode 0600, locked). When anything fails, Error() is the errno and no file exists.
    explicit TempFile(const std::string& folder);
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    TempFile(TempFile&&) = delete;
    TempFile& operator=(TempFile&&) = delete;
    // Removes the file unless it was renamed.
    ~TempFile();

    [[nodiscard]] int Error() const noexcept { return m_error; }
    // folder + '/' + name: where the writer puts the content.
    [[nodiscard]] const std::string& Path() const noexcept { return m_path; }
    // Open for reading and writing as long as the object lives; holds the lock.
    [[nodiscard]] int Fd() const noexcept { return m_fd; }
    // The signal that removed the file during the save, or 0.
    [[nodiscard]] int InterruptedBy() const noexcept;

    // Renames the file over name, an entry of the same folder: 0, or the errno. After success
    // the file is that entry and is no longer removed.
    [[nodiscard]] int RenameOver(const std::string& name) noexcept;
    // Flushes the folder's entries to disk (best effort: the rename is done either way).
    void SyncFolder() const noexcept;

private:
    void Disarm() noexcept;

    int m_folderFd;
    int m_fd = -1;
    int m_slot = -1;  // the signal handler's slot, -1 when none was free
    int m_error = 0;
    bool m_renamed = false;
    std::string m_name;
    std::string m_path;
};

}  // namespace pelimator
