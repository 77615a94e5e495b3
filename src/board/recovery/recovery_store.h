// Recovery files: the drawings an autosave wrote, kept per running session of the program so that
// a start after a crash, a kill or a power cut finds those of sessions that did not end cleanly.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelimator::board {

// The folder of recovery files: $XDG_STATE_HOME/Pelimator when that variable holds an absolute
// path, else $HOME/.local/state/Pelimator; empty when neither is known.
[[nodiscard]] std::string RecoveryRoot();

// What is recorded beside a recovered drawing.
struct RecoveryInfo {
    std::string name;          // the drawing's name as its tab showed it
    std::string originalPath;  // the file it was opened from or saved to; empty for a new one
    std::int64_t savedAt = 0;  // when the autosave wrote it, seconds since 1970 (UTC)
    std::string changes;       // what changed since the drawing was last saved, in Japanese
    std::string dataFile;      // the drawing file's name in the session's folder

    friend bool operator==(const RecoveryInfo&, const RecoveryInfo&) = default;
};
// "key=value" lines, UTF-8; a line break or backslash in a value is escaped.
[[nodiscard]] std::string FormatRecoveryInfo(const RecoveryInfo& info);
// None when a key is missing, the time is no number or the file name is no plain name.
[[nodiscard]] std::optional<RecoveryInfo> ParseRecoveryInfo(std::string_view text);

// One recovered drawing of a session that ended without cleaning up.
struct RecoveryEntry {
    std::string sessionFolder;
    std::string slot;  // the drawing's name within its session
    RecoveryInfo info;
    [[nodiscard]] std::string DataPath() const { return sessionFolder + "/" + info.dataFile; }
};

// This run's recovery files: a folder of its own under the root, locked while the session lives
// (the lock dies with the process, however it ends), so a later start tells a session that
// crashed from one still running. Each slot (one per drawing) is a drawing file and an info file
// naming it; the info file is replaced only after a new drawing file is complete, so a kill at
// any moment leaves the last complete autosave of every slot.
class RecoverySession {
public:
    // Makes root (mode 0700) and a new session folder in it, and takes its lock. FileError, in
    // Japanese, when that fails.
    explicit RecoverySession(const std::string& root);
    // Releases the lock; the files stay for a later start unless Finish ran.
    ~RecoverySession();
    RecoverySession(const RecoverySession&) = delete;
    RecoverySession& operator=(const RecoverySession&) = delete;
    RecoverySession(RecoverySession&&) = delete;
    RecoverySession& operator=(RecoverySession&&) = delete;

    [[nodiscard]] const std::string& Folder() const noexcept { return m_folder; }
    // Writes slot's drawing: writeDrawing(path) writes it atomically to a new file of this
    // session (extension ".dxf" or ".jww"), then info (its dataFile set here) replaces the
    // slot's info file, then the slot's previous drawing file goes. FileError when a write
    // fails; the slot then keeps its previous drawing.
    void Write(const std::string& slot, const std::string& extension,
               const std::function<void(const std::string& path)>& writeDrawing, RecoveryInfo info);
    // The slot's files go (the drawing was saved, given up or closed). Best effort.
    void Remove(const std::string& slot) noexcept;
    // Takes over a recovered drawing of a dead session as slot of this one: its files move here
    // (the old session's folder goes when nothing else is left in it). FileError when the move
    // fails. Returns the entry as it now is.
    RecoveryEntry Adopt(const RecoveryEntry& entry, const std::string& slot);
    // A clean end: every file of the session and its folder go.
    void Finish() noexcept;

private:
    std::string m_folder;
    int m_lockFd = -1;
    std::atomic<std::uint64_t> m_serial = 0;  // numbers the drawing files written (any thread)
};

// The recovered drawings of every session under root whose process is gone without a clean end,
// oldest first. A dead session without drawings is removed on the way. Unreadable or broken info
// files are left out (and left in place).
[[nodiscard]] std::vector<RecoveryEntry> FindRecoverable(const std::string& root);

// Removes a recovered drawing's files, and its session's folder when nothing else is left in it.
void DiscardRecovered(const RecoveryEntry& entry) noexcept;

}  // namespace pelimator::board
