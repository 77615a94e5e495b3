// Whole files: reading one at once, and replacing one so that a failure never leaves it damaged.
#include "base/file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/errors.h"

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

std::string SystemReason(int error) { return std::strerror(error); }

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
    bool Close() noexcept {
        if (m_fd < 0) return true;
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Removes the temporary file unless it was renamed into place.
class TempGuard {
public:
    explicit TempGuard(std::string path) : m_path(std::move(path)) {}
    TempGuard(const TempGuard&) = delete;
    TempGuard& operator=(const TempGuard&) = delete;
    TempGuard(TempGuard&&) = delete;
    TempGuard& operator=(TempGuard&&) = delete;
    ~TempGuard() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    void Release() noexcept { m_path.clear(); }

private:
    std::string m_path;
};

void SyncPath(const std::string& path, int flags) {
    Fd fd(::open(path.c_str(), flags | O_CLOEXEC));
    if (fd.Get() >= 0) ::fsync(fd.Get());  // a folder that cannot be opened: the rename is done
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

void WriteFileAtomically(const std::string& path,
                         const std::function<void(const std::string& tempPath)>& write) {
    if (path.empty()) Fail(path, "ファイル名が空です");
    const std::string target = ReplaceTarget(path);
    std::string pattern = target + ".tmp-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) Fail(path, "一時ファイルを作れません (" + SystemReason(errno) + ")");
    const std::string tempPath(buffer.data());
    TempGuard guard(tempPath);

    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &old) == 0) {
        mode = old.st_mode & 07777U;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666U & ~mask;
    }
    ::fchmod(fd, mode);
    ::close(fd);

    write(tempPath);

    Fd syncFd(::open(tempPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (syncFd.Get() < 0) Fail(path, "一時ファイルを開けません (" + SystemReason(errno) + ")");
    if (::fsync(syncFd.Get()) != 0) {
        Fail(path, "ディスクに書き込めません (" + SystemReason(errno) + ")");
    }
    syncFd.Close();
    const FileWriteHooks& hooks = Hooks();
    if (hooks.beforeRename && !hooks.beforeRename(tempPath)) {
        Fail(path, "名前を変更できません");
    }
    if (std::rename(tempPath.c_str(), target.c_str()) != 0) {
        Fail(path, "名前を変更できません (" + SystemReason(errno) + ")");
    }
    guard.Release();
    SyncPath(DirectoryOf(target), O_RDONLY | O_DIRECTORY);
}

void ReplaceFileContent(const std::string& path, std::string_view content) {
    WriteFileAtomically(path, [&](const std::string& tempPath) {
        Fd fd(::open(tempPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
        if (fd.Get() < 0) Fail(path, "一時ファイルを開けません (" + SystemReason(errno) + ")");
        const FileWriteHooks& hooks = Hooks();
        std::string_view rest = content;
        while (!rest.empty()) {
            const long n = hooks.writeBytes ? hooks.writeBytes(fd.Get(), rest.data(), rest.size())
                                            : ::write(fd.Get(), rest.data(), rest.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) Fail(path, "書き込めません (" + SystemReason(n < 0 ? errno : EIO) + ")");
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
        if (!fd.Close()) Fail(path, "書き込めません (" + SystemReason(errno) + ")");
    });
}

void SetFileWriteHooks(FileWriteHooks hooks) { Hooks() = std::move(hooks); }

FileRead TryReadWholeFile(const std::string& path, std::size_t maxBytes) {
    FileRead result;
    if (path.empty()) {
        result.error = ENOENT;
        return result;
    }
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        result.error = errno;
        result.status = errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
        return result;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        result.error = errno;
        result.status = ReadStatus::Failed;
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        result.status = ReadStatus::Failed;
        return result;
    }
    result.mode = st.st_mode & 07777;
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        result.status = ReadStatus::TooLarge;
        return result;
    }
    result.content.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < result.content.size()) {
        const ssize_t n = ::read(fd.Get(), result.content.data() + done, result.content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.error = errno;
            result.status = ReadStatus::Failed;
            result.content.clear();
            return result;
        }
        if (n == 0) break;  // shrank while read: keep what is there
        done += static_cast<std::size_t>(n);
    }
    result.content.resize(done);
    result.status = ReadStatus::Ok;
    return result;
}

std::string ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    const std::string name = FileNameOf(path);
    FileRead file = TryReadWholeFile(path, maxBytes);
    switch (file.status) {
    case ReadStatus::Ok:
        return std::move(file.content);
    case ReadStatus::TooLarge:
        throw FileError("ファイル「" + name + "」は大きすぎて開けません");
    case ReadStatus::Missing:
    case ReadStatus::Failed:
        break;
    }
    if (file.error == EISDIR) {
        throw FileError("「" + name + "」はフォルダです。ファイルを選んで下さい");
    }
    throw FileError("ファイル「" + name + "」を開けません: " + SystemReason(file.error));
}

}  // namespace pelimator
