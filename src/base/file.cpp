// Whole files: reading one at once, and replacing one so that a failure never leaves it damaged.
#include "base/file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/errors.h"
#include "base/system_error_text.h"
#include "base/temp_file.h"

namespace pelimator {

namespace {

FileWriteHooks& Hooks() {
    static FileWriteHooks hooks;
    return hooks;
}

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The message of a save that a signal cut short; the target was never touched.
constexpr const char* kInterrupted = "保存が中断されました (元のファイルは変わっていません)";

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
    throw FileError("ファイル「" + FileNameOf(path) + "」を保存できません: " + what);
}

class Fd {
public:
    explicit Fd(int fd) noexcept : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&&) = delete;
    Fd& operator=(Fd&&) = delete;
    ~Fd() { Close(); }
    [[nodiscard]] int Get() const noexcept { return m_fd; }
    // Gives up ownership: the caller closes the descriptor.
    [[nodiscard]] int Release() noexcept { return std::exchange(m_fd, -1); }
    bool Close() noexcept {
        if (m_fd < 0) return true;
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

FileRead Refused(ReadStatus status, int error) {
    FileRead result;
    result.status = status;
    result.error = error;
    return result;
}

FileRead OpenFailure(int error) {
    return Refused(error == ENOENT ? ReadStatus::Missing : ReadStatus::Failed, error);
}

// Fills result and returns true when st is no regular file or is larger than maxBytes.
bool Refuse(const struct stat& st, std::size_t maxBytes, FileRead& result) {
    if (!S_ISREG(st.st_mode)) {
        result = Refused(ReadStatus::NotRegular, S_ISDIR(st.st_mode) ? EISDIR : 0);
        return true;
    }
    result.size = static_cast<std::uint64_t>(st.st_size);
    if (result.size <= maxBytes) return false;
    result.status = ReadStatus::TooLarge;
    result.error = EFBIG;
    return true;
}

// A size for messages: bytes below a megabyte, else whole megabytes, rounded up for a refused
// size and down for a limit, so that the two never read alike.
std::string SizeText(std::uint64_t bytes, bool roundUp) {
    constexpr std::uint64_t kMega = std::uint64_t{1} << 20U;
    if (bytes < kMega) return std::to_string(bytes) + " バイト";
    return std::to_string((bytes + (roundUp ? kMega - 1 : 0)) / kMega) + " MB";
}

}  // namespace

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReplaceTarget(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path current(path);
    // A bounded walk: a loop of links ends as the path itself, and the open then fails.
    for (int hop = 0; hop < 40; ++hop) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error)) || error) {
            return current.string();
        }
        const fs::path next = fs::read_symlink(current, error);
        if (error) return current.string();
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return path;
}

namespace {

constexpr const char* kWriteProtected =
    "書き込みが禁止されたファイル (読み取り専用) です。置き換えるには書き込みを許して下さい";

// Targets this thread may replace although they are write-protected (WriteProtectedConsent).
std::vector<std::string>& Consents() {
    thread_local std::vector<std::string> consents;
    return consents;
}

bool Consented(const std::string& target) {
    const auto& consents = Consents();
    return std::find(consents.begin(), consents.end(), target) != consents.end();
}

// Whether st (the file at target) is one this user may not write. access() answers for users
// (groups and ACLs included); the superuser may write anything, so for it a file nobody may
// write counts as protected.
bool Protected(const std::string& target, const struct stat& st) {
    if (::geteuid() == 0) return (st.st_mode & 0222U) == 0;
    return ::access(target.c_str(), W_OK) != 0 && errno == EACCES;
}

// The target's state, or why it cannot be replaced (refusal not empty).
struct TargetCheck {
    std::string target;
    std::string refusal;
    bool exists = false;
    struct stat old {};
};

TargetCheck CheckTarget(const std::string& path) {
    TargetCheck check;
    check.target = ReplaceTarget(path);
    const std::string name = FileNameOf(check.target);
    if (name.empty() || name == "." || name == "..") {
        check.refusal = "ファイル名がありません";
        return check;
    }
    // Only a regular file is replaced: never a folder, a device or a named pipe. A name that
    // cannot be looked up (a loop of links, a name too long) is refused with its reason, never
    // replaced by a new file.
    check.exists = ::stat(check.target.c_str(), &check.old) == 0;
    const int error = check.exists ? 0 : errno;
    if (error != 0 && error != ENOENT) {
        check.refusal = SystemErrorText(error);
    } else if (check.exists && S_ISDIR(check.old.st_mode)) {
        check.refusal = "同じ名前のフォルダがあります";
    } else if (check.exists && !S_ISREG(check.old.st_mode)) {
        check.refusal =
            "通常のファイルではないので置き換えられません (装置や名前付きパイプには"
            "書き込みません)";
    } else if (check.exists && Protected(check.target, check.old) && !Consented(check.target)) {
        check.refusal = kWriteProtected;
    } else if (!check.exists) {
        struct stat folder {};
        const std::string directory = DirectoryOf(check.target);
        if (::stat(directory.c_str(), &folder) != 0) {
            check.refusal =
                "フォルダ「" + directory + "」を開けません (" + SystemErrorText(errno) + ")";
        } else if (!S_ISDIR(folder.st_mode)) {
            check.refusal = "「" + directory + "」はフォルダではありません";
        } else if (name.size() > static_cast<std::size_t>(NAME_MAX)) {
            check.refusal = SystemErrorText(ENAMETOOLONG);
        }
    }
    return check;
}

}  // namespace

std::string ReplaceRefusal(const std::string& path) { return CheckTarget(path).refusal; }

bool IsWriteProtected(const std::string& path) {
    const std::string target = ReplaceTarget(path);
    struct stat st {};
    return ::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && Protected(target, st);
}

WriteProtectedConsent::WriteProtectedConsent(const std::string& path)
    : m_target(ReplaceTarget(path)) {
    Consents().push_back(m_target);
}

WriteProtectedConsent::~WriteProtectedConsent() {
    auto& consents = Consents();
    const auto found = std::find(consents.rbegin(), consents.rend(), m_target);
    if (found != consents.rend()) consents.erase(std::next(found).base());
}

void WriteFileAtomically(const std::string& path,
                         const std::function<void(const std::string& tempPath)>& write,
                         const ReplaceOptions& options) {
    const TargetCheck check = CheckTarget(path);
    if (!check.refusal.empty()) Fail(path, check.refusal);
    const std::string& target = check.target;
    const std::string name = FileNameOf(target);
    const struct stat& old = check.old;
    const bool exists = check.exists;

    TempFile temp(DirectoryOf(target));
    if (temp.Error() != 0) {
        Fail(path, "一時ファイルを作れません (" + SystemErrorText(temp.Error()) + ")");
    }
    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    mode_t mode = 0;
    if (exists) {
        mode = old.st_mode & 07777U;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666U & ~mask;
    }
    ::fchmod(temp.Fd(), mode);

    try {
        write(temp.Path());
    } catch (const Error&) {
        // A copy that failed because its source changed under it fails for that reason.
        if (options.checkSources) options.checkSources();
        throw;
    }

    if (temp.InterruptedBy() != 0) Fail(path, kInterrupted);
    // The writer's data are in the file's pages whichever descriptor wrote them.
    if (::fsync(temp.Fd()) != 0) {
        Fail(path, "ディスクに書き込めません (" + SystemErrorText(errno) + ")");
    }
    const FileWriteHooks& hooks = Hooks();
    if (hooks.beforeRename && !hooks.beforeRename(temp.Path())) {
        Fail(path, "名前を変更できません");
    }
    // Last, so that nothing the copy read can change unseen before the new file takes the name.
    if (options.checkSources) options.checkSources();
    if (temp.InterruptedBy() != 0) Fail(path, kInterrupted);
    if (const int error = temp.RenameOver(name); error != 0) {
        Fail(path, "名前を変更できません (" + SystemErrorText(error) + ")");
    }
    temp.SyncFolder();
}

void ReplaceFileContent(const std::string& path, std::string_view content) {
    WriteFileAtomically(path, [&](const std::string& tempPath) {
        Fd fd(::open(tempPath.c_str(),  // NOLINT(cppcoreguidelines-pro-type-vararg): POSIX open
                     O_WRONLY | O_TRUNC | O_CLOEXEC));
        if (fd.Get() < 0) Fail(path, "一時ファイルを開けません (" + SystemErrorText(errno) + ")");
        const FileWriteHooks& hooks = Hooks();
        std::string_view rest = content;
        while (!rest.empty()) {
            const long n = hooks.writeBytes ? hooks.writeBytes(fd.Get(), rest.data(), rest.size())
                                            : ::write(fd.Get(), rest.data(), rest.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) Fail(path, "書き込めません (" + SystemErrorText(n < 0 ? errno : EIO) + ")");
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
        if (!fd.Close()) Fail(path, "書き込めません (" + SystemErrorText(errno) + ")");
    });
}

void SetFileWriteHooks(FileWriteHooks hooks) { Hooks() = std::move(hooks); }

int TryOpenWholeFile(const std::string& path, std::size_t maxBytes, FileRead& result) {
    maxBytes = std::min(maxBytes, kMaxWholeFileBytes);
    result = FileRead{};
    if (path.empty()) {
        result = Refused(ReadStatus::Missing, ENOENT);
        return -1;
    }
    // Decided from the name first, so that a device or a named pipe is never opened and a file
    // too large is never read; the open cannot wait (O_NONBLOCK), and what it opened is checked
    // again in case the name changed hands in between.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        result = OpenFailure(errno);
        return -1;
    }
    if (Refuse(st, maxBytes, result)) return -1;
    Fd fd(::open(path.c_str(),  // NOLINT(cppcoreguidelines-pro-type-vararg): POSIX open
                 O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0) {
        result = OpenFailure(errno);
        return -1;
    }
    if (::fstat(fd.Get(), &st) != 0) {
        result = Refused(ReadStatus::Failed, errno);
        return -1;
    }
    if (Refuse(st, maxBytes, result)) return -1;
    result.mode = st.st_mode & 07777;
    result.opened = st;
    result.status = ReadStatus::Ok;
    return fd.Release();
}

FileRead TryReadWholeFile(const std::string& path, std::size_t maxBytes) {
    FileRead result;
    const Fd fd(TryOpenWholeFile(path, maxBytes, result));
    if (fd.Get() < 0) return result;
    result.content.resize(static_cast<std::size_t>(result.size));
    std::size_t done = 0;
    while (done < result.content.size()) {
        const ssize_t n =
            ::read(fd.Get(), result.content.data() + done, result.content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Refused(ReadStatus::Failed, errno);
        if (n == 0) break;  // shrank while read: keep what is there
        done += static_cast<std::size_t>(n);
    }
    result.content.resize(done);
    return result;
}

std::string ReadFailureText(const FileRead& file, const std::string& path, std::size_t maxBytes) {
    const std::string name = FileNameOf(path);
    switch (file.status) {
        case ReadStatus::Ok:
            return {};
        case ReadStatus::TooLarge:
            return "ファイル「" + name + "」は大きすぎて開けません (" + SizeText(file.size, true) +
                   "。開けるのは " + SizeText(std::min(maxBytes, kMaxWholeFileBytes), false) +
                   "までです)";
        case ReadStatus::NotRegular:
            if (file.error == EISDIR)
                return "「" + name + "」はフォルダです。ファイルを選んで下さい";
            return "「" + name + "」は通常のファイルではないので開けません (装置や名前付き" +
                   "パイプは読みません)";
        case ReadStatus::Missing:
        case ReadStatus::Failed:
            break;
    }
    return "ファイル「" + name + "」を開けません: " + SystemErrorText(file.error);
}

std::string ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    FileRead file = TryReadWholeFile(path, maxBytes);
    if (file.status == ReadStatus::Ok) return std::move(file.content);
    throw FileError(ReadFailureText(file, path, maxBytes));
}

}  // namespace pelimator
