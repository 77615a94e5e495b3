// The temporary file of one atomic replace: fixed-pattern name, removal on signals, sweeping.
#include "base/temp_file.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pelimator {

namespace {

constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
constexpr std::size_t kSlotCount = 16;  // saves at the same time that the handler covers
constexpr std::size_t kNameBytes = 48;  // prefix, up to 10 digits, '-', 6 characters, NUL
constexpr std::size_t kRandomChars = 6;
constexpr int kMaxPidDigits = 10;

enum SlotState : int { kFree, kTaken, kArmed };

// What the signal handler may read: written before the slot is armed, read only while it is.
struct Slot {
    std::atomic<int> state{kFree};
    int folderFd = -1;
    std::array<char, kNameBytes> name{};
    volatile std::sig_atomic_t interruptedBy = 0;
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads slot states");

std::array<Slot, kSlotCount> g_slots;
std::array<struct sigaction, kSignals.size()> g_previous{};
std::array<volatile std::sig_atomic_t, kSignals.size()> g_installed{};
std::mutex g_installMutex;
int g_activeSaves = 0;

extern "C" void RemoveTempFilesOnSignal(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    for (Slot& slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) != kArmed) continue;
        ::unlinkat(slot.folderFd, slot.name.data(), 0);
        slot.interruptedBy = signal;
    }
    std::size_t index = 0;
    while (index < kSignals.size() && kSignals[index] != signal) ++index;
    if (index == kSignals.size()) return;
    const struct sigaction& previous = g_previous[index];
    if ((previous.sa_flags & SA_SIGINFO) != 0) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler == SIG_DFL) {
        // End as the signal would have: back to the default, and the signal sent again; it is
        // delivered as soon as this handler returns.
        ::sigaction(signal, &previous, nullptr);
        ::raise(signal);
    } else if (previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signal);
    }
    errno = savedErrno;
}

void InstallHandlers() {
    const std::lock_guard lock(g_installMutex);
    if (g_activeSaves++ > 0) return;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        struct sigaction current {};
        if (::sigaction(kSignals[i], nullptr, &current) != 0) continue;
        if ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN) continue;
        g_previous[i] = current;
        struct sigaction ours {};
        ours.sa_sigaction = RemoveTempFilesOnSignal;
        ours.sa_flags = SA_SIGINFO | SA_RESTART;
        sigemptyset(&ours.sa_mask);
        for (const int other : kSignals) sigaddset(&ours.sa_mask, other);
        g_installed[i] = ::sigaction(kSignals[i], &ours, nullptr) == 0 ? 1 : 0;
    }
}

void RestoreHandlers() {
    const std::lock_guard lock(g_installMutex);
    if (--g_activeSaves > 0) return;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (g_installed[i] == 0) continue;
        g_installed[i] = 0;
        struct sigaction current {};
        // Leave a handler that someone installed during the save in place.
        if (::sigaction(kSignals[i], nullptr, &current) == 0 &&
            (current.sa_flags & SA_SIGINFO) != 0 &&
            current.sa_sigaction == RemoveTempFilesOnSignal) {
            ::sigaction(kSignals[i], &g_previous[i], nullptr);
        }
    }
}

int TakeSlot() noexcept {
    for (std::size_t i = 0; i < g_slots.size(); ++i) {
        int expected = kFree;
        if (g_slots[i].state.compare_exchange_strong(expected, kTaken)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string RandomName() {
    static constexpr std::string_view kAlphabet =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    thread_local std::mt19937 engine{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    std::string name(kTempFilePrefix);
    name += std::to_string(::getpid());
    name += '-';
    for (std::size_t i = 0; i < kRandomChars; ++i) name += kAlphabet[pick(engine)];
    return name;
}

// When the system last started (wall-clock seconds), or 0 when unknown.
std::time_t BootTime() noexcept {
    timespec now{};
    timespec up{};
    if (::clock_gettime(CLOCK_REALTIME, &now) != 0 || ::clock_gettime(CLOCK_BOOTTIME, &up) != 0) {
        return 0;
    }
    return now.tv_sec - up.tv_sec;
}

bool IsAsciiAlnum(char c) noexcept {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

int OpenFolder(const std::string& folder) noexcept {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0 || errno != EACCES) return fd;
    // A folder one may write into but not list: enough to create, rename and remove.
    return ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

pid_t TempFileOwner(std::string_view name) noexcept {
    if (name.substr(0, kTempFilePrefix.size()) != kTempFilePrefix) return -1;
    name.remove_prefix(kTempFilePrefix.size());
    const std::size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash > kMaxPidDigits) return -1;
    long long pid = 0;
    for (std::size_t i = 0; i < dash; ++i) {
        if (name[i] < '0' || name[i] > '9') return -1;
        pid = pid * 10 + (name[i] - '0');
    }
    const std::string_view random = name.substr(dash + 1);
    if (random.size() != kRandomChars) return -1;
    for (const char c : random) {
        if (!IsAsciiAlnum(c)) return -1;
    }
    if (pid <= 0 || pid > 0x7fffffffLL) return -1;
    return static_cast<pid_t>(pid);
}

void RemoveStaleTempFiles(int folderFd) noexcept {
    const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return;
    DIR* folder = ::fdopendir(listFd);
    if (folder == nullptr) {
        ::close(listFd);
        return;
    }
    const pid_t self = ::getpid();
    const std::time_t now = std::time(nullptr);
    const std::time_t booted = BootTime();
    while (const dirent* entry = ::readdir(folder)) {
        const pid_t owner = TempFileOwner(entry->d_name);
        if (owner <= 0) continue;
        const int fd =
            ::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat st {};
        // A writer holds its lock for as long as it writes; a file nobody holds is stale when
        // its process is gone, or when it was written before the system last started (a power
        // cut: process ids start again and may be taken by others, this one's included), or
        // long ago. A fresh file of a running process may be between its creation and its lock.
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            const bool gone = owner != self && ::kill(owner, 0) != 0 && errno == ESRCH;
            const bool beforeBoot = booted > 0 && st.st_mtim.tv_sec < booted;
            const bool old = now - st.st_mtim.tv_sec > kStaleTempSeconds;
            if (gone || beforeBoot || old) ::unlinkat(folderFd, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(folder);
}

TempFile::TempFile(const std::string& folder) : m_folderFd(OpenFolder(folder)) {
    if (m_folderFd < 0) {
        m_error = errno;
        return;
    }
    RemoveStaleTempFiles(m_folderFd);
    InstallHandlers();
    m_slot = TakeSlot();
    // The slot is armed before the file exists, so that no moment is left in which a signal
    // would leave it behind; a name of our process id is ours to remove even if it was not made.
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_name = RandomName();
        if (m_slot >= 0) {
            Slot& slot = g_slots[static_cast<std::size_t>(m_slot)];
            slot.state.store(kTaken, std::memory_order_release);
            std::memcpy(slot.name.data(), m_name.c_str(), m_name.size() + 1);
            slot.folderFd = m_folderFd;
            slot.interruptedBy = 0;
            slot.state.store(kArmed, std::memory_order_release);
        }
        m_fd = ::openat(m_folderFd, m_name.c_str(),
                        O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (m_fd >= 0 || errno != EEXIST) break;
    }
    if (m_fd < 0) {
        m_error = errno;
        m_name.clear();
        return;
    }
    // Without lock support (some network file systems) the process id alone protects the file.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    m_path = folder == "/" ? "/" + m_name : folder + "/" + m_name;
}

TempFile::~TempFile() {
    if (!m_renamed && !m_name.empty()) ::unlinkat(m_folderFd, m_name.c_str(), 0);
    Disarm();
    if (m_fd >= 0) ::close(m_fd);
    if (m_folderFd >= 0) {
        RestoreHandlers();
        ::close(m_folderFd);
    }
}

void TempFile::Disarm() noexcept {
    if (m_slot < 0) return;
    g_slots[static_cast<std::size_t>(m_slot)].state.store(kFree, std::memory_order_release);
    m_slot = -1;
}

int TempFile::InterruptedBy() const noexcept {
    return m_slot < 0 ? 0
                      : static_cast<int>(g_slots[static_cast<std::size_t>(m_slot)].interruptedBy);
}

int TempFile::RenameOver(const std::string& name) noexcept {
    if (::renameat(m_folderFd, m_name.c_str(), m_folderFd, name.c_str()) != 0) return errno;
    m_renamed = true;
    Disarm();
    return 0;
}

void TempFile::SyncFolder() const noexcept {
    if (m_folderFd >= 0) ::fsync(m_folderFd);  // fails harmlessly on a folder opened as a path
}

}  // namespace pelimator
