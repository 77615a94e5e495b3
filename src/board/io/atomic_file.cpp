// Writing a file so that a failure never leaves the old one damaged.
#include "board/io/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "board/io/file_error.h"

namespace pelimator::board {

namespace {

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string SystemReason() { return std::strerror(errno); }

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
    throw FileError("ファイル「" + FileNameOf(path) + "」を保存できません: " + what);
}

// Removes the temporary file unless it was renamed into place.
class TempGuard {
public:
    explicit TempGuard(std::string path) : m_path(std::move(path)) {}
    TempGuard(const TempGuard&) = delete;
    TempGuard& operator=(const TempGuard&) = delete;
    ~TempGuard() {
        if (!m_path.empty()) ::unlink(m_path.c_str());
    }
    void Release() noexcept { m_path.clear(); }

private:
    std::string m_path;
};

void SyncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return;  // a directory that cannot be opened: the rename is still done
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void WriteFileAtomically(const std::string& path,
                         const std::function<void(const std::string& tempPath)>& write) {
    if (path.empty()) Fail(path, "ファイル名が空です");
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) Fail(path, "一時ファイルを作れません (" + SystemReason() + ")");
    const std::string tempPath(buffer.data());
    TempGuard guard(tempPath);

    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777U;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666U & ~mask;
    }
    ::fchmod(fd, mode);
    ::close(fd);

    write(tempPath);

    const int syncFd = ::open(tempPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (syncFd < 0) Fail(path, "一時ファイルを開けません (" + SystemReason() + ")");
    const int synced = ::fsync(syncFd);
    ::close(syncFd);
    if (synced != 0) Fail(path, "ディスクに書き込めません (" + SystemReason() + ")");
    if (std::rename(tempPath.c_str(), path.c_str()) != 0) {
        Fail(path, "名前を変更できません (" + SystemReason() + ")");
    }
    guard.Release();
    SyncPath(DirectoryOf(path), O_RDONLY | O_DIRECTORY);
}

std::string ReadWholeFile(const std::string& path, std::size_t maxBytes) {
    const std::string name = FileNameOf(path);
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        throw FileError("ファイル「" + name + "」を開けません: " + SystemReason());
    }
    if (S_ISDIR(info.st_mode)) {
        throw FileError("「" + name + "」はフォルダです。ファイルを選んでください");
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        throw FileError("ファイル「" + name + "」は大きすぎて開けません");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) throw FileError("ファイル「" + name + "」を開けません: " + SystemReason());
    std::string text;
    text.resize(static_cast<std::size_t>(info.st_size));
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.gcount() != static_cast<std::streamsize>(text.size())) {
        throw FileError("ファイル「" + name + "」を最後まで読めません");
    }
    return text;
}

}  // namespace pelimator::board
