// Recovery files: per-session folders, their locks, and the info beside each recovered drawing.
#include "board/recovery/recovery_store.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/errors.h"
#include "base/file.h"
#include "base/system_error_text.h"

namespace pelimator::board {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSessionPrefix = "session-";
constexpr const char* kLockName = "lock";
constexpr std::string_view kInfoExtension = ".info";
constexpr std::size_t kMaxInfoBytes = std::size_t{1} << 20U;

std::string Escape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += c;
        }
    }
    return out;
}

std::string Unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char next = value[++i];
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            out += value[i];
        }
    }
    return out;
}

// A name of one folder entry, nothing that leaves the folder.
bool IsPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::string InfoPath(const std::string& folder, const std::string& slot) {
    return folder + "/" + slot + std::string(kInfoExtension);
}

std::optional<RecoveryInfo> ReadInfo(const std::string& path) {
    const FileRead read = TryReadWholeFile(path, kMaxInfoBytes);
    if (read.status != ReadStatus::Ok) return std::nullopt;
    return ParseRecoveryInfo(read.content);
}

// Whether the session's lock is free (its process is gone): then true, the lock not kept.
bool SessionIsDead(const std::string& folder) {
    const std::string lock = folder + "/" + kLockName;
    const int fd = ::open(lock.c_str(),  // NOLINT(cppcoreguidelines-pro-type-vararg): POSIX open
                          O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT;  // killed between making the folder and locking it
    const bool dead = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return dead;
}

// The slots of folder that have an info file.
std::vector<std::string> SlotsIn(const std::string& folder) {
    std::vector<std::string> slots;
    std::error_code error;
    for (const auto& item : fs::directory_iterator(folder, error)) {
        const std::string name = item.path().filename().string();
        if (name.size() > kInfoExtension.size() && name.ends_with(kInfoExtension)) {
            slots.push_back(name.substr(0, name.size() - kInfoExtension.size()));
        }
    }
    return slots;
}

// Removes a dead session's folder when no slot is left in it: leftovers of a killed write and
// old drawing files go with it.
void RemoveSessionIfEmpty(const std::string& folder) noexcept {
    if (!SlotsIn(folder).empty()) return;
    std::error_code error;
    fs::remove_all(folder, error);
}

}  // namespace

std::string RecoveryRoot() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/Pelimator";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/Pelimator";
    return {};
}

std::string FormatRecoveryInfo(const RecoveryInfo& info) {
    std::string text;
    text += "name=" + Escape(info.name) + "\n";
    text += "path=" + Escape(info.originalPath) + "\n";
    text += "time=" + std::to_string(info.savedAt) + "\n";
    text += "changes=" + Escape(info.changes) + "\n";
    text += "file=" + Escape(info.dataFile) + "\n";
    return text;
}

std::optional<RecoveryInfo> ParseRecoveryInfo(std::string_view text) {
    RecoveryInfo info;
    int found = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, equals);
        const std::string value = Unescape(line.substr(equals + 1));
        if (key == "name") {
            info.name = value;
            found |= 1;
        } else if (key == "path") {
            info.originalPath = value;
            found |= 2;
        } else if (key == "time") {
            const auto [rest, error] =
                std::from_chars(value.data(), value.data() + value.size(), info.savedAt);
            if (error != std::errc() || rest != value.data() + value.size()) return std::nullopt;
            found |= 4;
        } else if (key == "changes") {
            info.changes = value;
            found |= 8;
        } else if (key == "file") {
            info.dataFile = value;
            found |= 16;
        }
    }
    if (found != 31 || !IsPlainName(info.dataFile)) return std::nullopt;
    return info;
}

RecoverySession::RecoverySession(const std::string& root) {
    if (root.empty()) {
        throw FileError("自動保存のフォルダが決まりません (環境変数 HOME がありません)");
    }
    std::error_code error;
    fs::create_directories(root, error);
    if (error || !fs::is_directory(root, error)) {
        throw FileError("自動保存のフォルダ「" + root +
                        "」を作れません: " + SystemErrorText(error ? error.value() : ENOTDIR));
    }
    ::chmod(root.c_str(), 0700);  // drawings are the user's own: nobody else reads them here
    const std::string stem = root + "/" + std::string(kSessionPrefix) + std::to_string(::getpid()) +
                             "-" + std::to_string(std::time(nullptr));
    for (int attempt = 0;; ++attempt) {
        m_folder = attempt == 0 ? stem : stem + "-" + std::to_string(attempt);
        if (::mkdir(m_folder.c_str(), 0700) == 0) break;
        if (errno != EEXIST || attempt > 100) {
            throw FileError("自動保存のフォルダ「" + m_folder +
                            "」を作れません: " + SystemErrorText(errno));
        }
    }
    const std::string lock = m_folder + "/" + kLockName;
    m_lockFd = ::open(lock.c_str(),  // NOLINT(cppcoreguidelines-pro-type-vararg): POSIX open
                      O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (m_lockFd < 0 || ::flock(m_lockFd, LOCK_EX | LOCK_NB) != 0) {
        const int cause = errno;
        if (m_lockFd >= 0) ::close(m_lockFd);
        fs::remove_all(m_folder, error);
        throw FileError("自動保存のフォルダ「" + m_folder +
                        "」を使えません: " + SystemErrorText(cause));
    }
}

RecoverySession::~RecoverySession() {
    if (m_lockFd >= 0) ::close(m_lockFd);
}

void RecoverySession::Write(const std::string& slot, const std::string& extension,
                            const std::function<void(const std::string& path)>& writeDrawing,
                            RecoveryInfo info) {
    const std::optional<RecoveryInfo> previous = ReadInfo(InfoPath(m_folder, slot));
    info.dataFile = slot + "-" + std::to_string(++m_serial) + extension;
    const std::string dataPath = m_folder + "/" + info.dataFile;
    try {
        writeDrawing(dataPath);
        ReplaceFileContent(InfoPath(m_folder, slot), FormatRecoveryInfo(info));
    } catch (...) {
        ::unlink(dataPath.c_str());
        throw;
    }
    if (previous && previous->dataFile != info.dataFile) {
        ::unlink((m_folder + "/" + previous->dataFile).c_str());
    }
}

void RecoverySession::Remove(const std::string& slot) noexcept {
    const std::string infoPath = InfoPath(m_folder, slot);
    const std::optional<RecoveryInfo> info = ReadInfo(infoPath);
    ::unlink(infoPath.c_str());
    if (info) ::unlink((m_folder + "/" + info->dataFile).c_str());
}

RecoveryEntry RecoverySession::Adopt(const RecoveryEntry& entry, const std::string& slot) {
    RecoveryInfo info = entry.info;
    info.dataFile = slot + "-" + std::to_string(++m_serial) +
                    fs::path(entry.info.dataFile).extension().string();
    const std::string target = m_folder + "/" + info.dataFile;
    if (::rename(entry.DataPath().c_str(), target.c_str()) != 0) {
        throw FileError("自動保存した図面「" + entry.info.name +
                        "」を移せません: " + SystemErrorText(errno));
    }
    try {
        ReplaceFileContent(InfoPath(m_folder, slot), FormatRecoveryInfo(info));
    } catch (...) {
        ::rename(target.c_str(), entry.DataPath().c_str());
        throw;
    }
    ::unlink(InfoPath(entry.sessionFolder, entry.slot).c_str());
    RemoveSessionIfEmpty(entry.sessionFolder);
    return {m_folder, slot, info};
}

void RecoverySession::Finish() noexcept {
    std::error_code error;
    fs::remove_all(m_folder, error);
    if (m_lockFd >= 0) ::close(m_lockFd);
    m_lockFd = -1;
}

std::vector<RecoveryEntry> FindRecoverable(const std::string& root) {
    std::vector<RecoveryEntry> entries;
    std::error_code error;
    std::vector<std::string> folders;
    for (const auto& item : fs::directory_iterator(root, error)) {
        const std::string name = item.path().filename().string();
        std::error_code typeError;
        if (name.starts_with(kSessionPrefix) && item.is_directory(typeError) &&
            !item.is_symlink(typeError)) {
            folders.push_back(item.path().string());
        }
    }
    for (const std::string& folder : folders) {
        if (!SessionIsDead(folder)) continue;
        bool any = false;
        for (const std::string& slot : SlotsIn(folder)) {
            std::optional<RecoveryInfo> info = ReadInfo(InfoPath(folder, slot));
            if (!info) continue;
            RecoveryEntry entry{folder, slot, std::move(*info)};
            struct stat data {};
            if (::lstat(entry.DataPath().c_str(), &data) != 0 || !S_ISREG(data.st_mode)) continue;
            entries.push_back(std::move(entry));
            any = true;
        }
        if (!any) RemoveSessionIfEmpty(folder);
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.info.savedAt < b.info.savedAt; });
    return entries;
}

void DiscardRecovered(const RecoveryEntry& entry) noexcept {
    ::unlink(entry.DataPath().c_str());
    ::unlink(InfoPath(entry.sessionFolder, entry.slot).c_str());
    RemoveSessionIfEmpty(entry.sessionFolder);
}

}  // namespace pelimator::board
