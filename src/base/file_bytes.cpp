// Whole files held read-only: in memory, or mapped from disk with a guard against a file cut short
// under the map.
#include "base/file_bytes.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <utility>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/errors.h"
#include "base/file.h"
#include "base/system_error_text.h"

namespace pelimator {

namespace {

// The maps the bus-error guard knows. A read of a map beyond the end of a file that another
// program cut short raises SIGBUS (code BUS_ADRERR); the guard puts zero pages there, marks the
// map cut and lets the read go on. A slot is claimed through `used`; the range it guards is one
// word (first page number and page count), so the handler reads it whole in one load, and it is
// set last and cleared first.
struct GuardedMap {
    std::atomic<bool> used{false};
    std::atomic<std::uint64_t> range{0};
    std::atomic<bool> cut{false};
};
static_assert(std::atomic<std::uint64_t>::is_always_lock_free, "the handler loads ranges");

// A range packed into one word: the first page's number above, the page count below.
constexpr unsigned kCountBits = 28;
constexpr std::uint64_t kCountMask = (std::uint64_t{1} << kCountBits) - 1;

constexpr std::size_t kGuardedMaps = 256;
std::array<GuardedMap, kGuardedMaps> g_maps;  // NOLINT(*-avoid-non-const-global-variables)
struct sigaction g_previous {};               // NOLINT(*-avoid-non-const-global-variables)
std::uintptr_t g_pageSize = 4096;             // NOLINT(*-avoid-non-const-global-variables)

// Passes a signal the guard does not handle on to the handler installed before it; with none,
// to the default action. Only async-signal-safe calls.
void PassOn(int signal, siginfo_t* info, void* context) {
    // NOLINTBEGIN(cppcoreguidelines-pro-type-union-access): sigaction's handler union
    if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction != nullptr) {
        g_previous.sa_sigaction(signal, info, context);
        return;
    }
    if (g_previous.sa_handler == SIG_IGN) return;
    if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != nullptr) {
        g_previous.sa_handler(signal);
        return;
    }
    // NOLINTEND(cppcoreguidelines-pro-type-union-access)
    // The default action. A fault's read runs again on return and ends the program as before;
    // a bus error sent by a process (kill, raise) is sent again, to end it the same way.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;  // NOLINT(cppcoreguidelines-pro-type-union-access)
    ::sigaction(SIGBUS, &fallback, nullptr);
    if (info->si_code <= 0) ::raise(signal);
}

void OnBusError(int signal, siginfo_t* info, void* context) {
    // Only a fault on a page past the end of a mapped file becomes zeros: a bus error that a
    // process sent, or a misaligned or hardware fault, goes on as before.
    if (info->si_code != BUS_ADRERR) {
        PassOn(signal, info, context);
        return;
    }
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    const std::uintptr_t page = at & ~(g_pageSize - 1);
    for (GuardedMap& map : g_maps) {
        const std::uint64_t range = map.range.load(std::memory_order_acquire);
        if (range == 0) continue;
        const std::uintptr_t begin = (range >> kCountBits) * g_pageSize;
        const std::uintptr_t end = begin + (range & kCountMask) * g_pageSize;
        if (at < begin || at >= end) continue;
        // The file ends before this page, so it ends before every later page of the map too.
        // mmap is a plain system call here (no lock is taken), safe in a handler.
        void* zeros = ::mmap(reinterpret_cast<void*>(page),  // NOLINT(performance-no-int-to-ptr)
                             end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros == MAP_FAILED) break;
        map.cut.store(true, std::memory_order_release);
        return;
    }
    PassOn(signal, info, context);
}

void InstallGuard() {
    static std::once_flag once;
    std::call_once(once, [] {
        g_pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnBusError;  // NOLINT(cppcoreguidelines-pro-type-union-access)
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previous);
    });
}

// The slot guarding the pages of [begin, begin + size), or nullptr when all are taken or the
// range cannot be packed (the map is then unguarded).
GuardedMap* Guard(std::uintptr_t begin, std::size_t size) {
    InstallGuard();
    const std::uint64_t first = begin / g_pageSize;
    const std::uint64_t pages = (size + g_pageSize - 1) / g_pageSize;
    if (pages == 0 || pages > kCountMask || first >= (std::uint64_t{1} << (64 - kCountBits))) {
        return nullptr;
    }
    for (GuardedMap& map : g_maps) {
        bool expected = false;
        if (!map.used.compare_exchange_strong(expected, true)) continue;
        map.cut.store(false, std::memory_order_release);
        map.range.store((first << kCountBits) | pages, std::memory_order_release);
        return &map;
    }
    return nullptr;
}

void Unguard(GuardedMap* map) {
    if (map == nullptr) return;
    map->range.store(0, std::memory_order_release);
    map->used.store(false, std::memory_order_release);
}

std::string ChangedText(const std::string& name) {
    return "ファイル「" + name +
           "」は開いた後でほかのプログラムに書き換えられたので、読んだときの内容をそこへ"
           "保存できません。名前を付けて保存で、線と円弧とレイヤを別のファイルに残せます";
}

}  // namespace

class FileBytes::Store {
public:
    explicit Store(std::string content) : owned(std::move(content)) {}
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    Store(Store&&) = delete;
    Store& operator=(Store&&) = delete;
    ~Store() {
        Unguard(guard);
        if (map != nullptr) ::munmap(map, mapSize);
        if (fd >= 0) ::close(fd);
    }

    std::string owned;
    void* map = nullptr;
    std::size_t mapSize = 0;
    int fd = -1;
    std::string path;
    std::string name;
    struct stat read {};  // the file as it was mapped
    GuardedMap* guard = nullptr;

    // Whether the guard found the file cut short under the map.
    [[nodiscard]] bool Cut() const noexcept {
        return guard != nullptr && guard->cut.load(std::memory_order_acquire);
    }
};

FileBytes::FileBytes(std::string content)
    : m_store(std::make_shared<const Store>(std::move(content))), m_view(m_store->owned) {}

bool FileBytes::Mapped() const noexcept { return m_store != nullptr && m_store->map != nullptr; }

std::string FileBytes::Path() const { return m_store != nullptr ? m_store->path : std::string(); }

void FileBytes::Release(std::size_t begin, std::size_t end) const noexcept {
    if (!Mapped()) return;
    const auto base = reinterpret_cast<std::uintptr_t>(m_view.data());
    const std::uintptr_t from = (base + begin + g_pageSize - 1) & ~(g_pageSize - 1);
    const std::uintptr_t to = (base + std::min(end, m_view.size())) & ~(g_pageSize - 1);
    if (from < to) {
        ::madvise(reinterpret_cast<void*>(from), to - from,  // NOLINT(performance-no-int-to-ptr)
                  MADV_DONTNEED);
    }
}

std::string FileBytes::Damage() const {
    if (!Mapped()) return {};
    const Store& store = *m_store;
    struct stat now {};
    const bool same = ::fstat(store.fd, &now) == 0 && now.st_size == store.read.st_size &&
                      now.st_mtim.tv_sec == store.read.st_mtim.tv_sec &&
                      now.st_mtim.tv_nsec == store.read.st_mtim.tv_nsec;
    if (same && !store.Cut()) return {};
    return ChangedText(store.name);
}

void FileBytes::CheckSound() const {
    std::string damage = Damage();
    if (!damage.empty()) throw FileError(damage);
}

void FileBytes::CheckUnchangedAfterCopy(const std::string& failure) const {
    if (Damage().empty()) return;
    throw FileError(failure + "読み込んだファイル「" + m_store->name +
                    "」が保存の途中でほかのプログラムに書き換えられたので、写した内容は確かでは"
                    "ありません。保存しませんでした");
}

FileBytes MapWholeFile(const std::string& path, std::size_t maxBytes) {
    FileRead opened;
    const int fd = TryOpenWholeFile(path, maxBytes, opened);
    if (fd < 0) throw FileError(ReadFailureText(opened, path, maxBytes));
    auto store = std::make_shared<FileBytes::Store>(std::string());
    store->fd = fd;
    store->path = path;
    store->name = FileNameOf(path);
    // The size the open checked against the limit, whatever the file has grown to since.
    store->read = opened.opened;
    FileBytes bytes;
    const auto size = static_cast<std::size_t>(store->read.st_size);
    if (size == 0) return bytes;
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (map == MAP_FAILED) {
        throw FileError("ファイル「" + store->name + "」を開けません: " + SystemErrorText(errno));
    }
    store->map = map;
    store->mapSize = size;
    // Grown past the limit since the open looked: refused as the open refuses a file too large.
    struct stat now {};
    if (::fstat(fd, &now) == 0 &&
        static_cast<std::uint64_t>(now.st_size) > std::min(maxBytes, kMaxWholeFileBytes)) {
        opened.status = ReadStatus::TooLarge;
        opened.size = static_cast<std::uint64_t>(now.st_size);
        throw FileError(ReadFailureText(opened, path, maxBytes));
    }
    store->guard = Guard(reinterpret_cast<std::uintptr_t>(map), size);
    bytes.m_view = std::string_view(static_cast<const char*>(map), size);
    bytes.m_store = std::move(store);
    return bytes;
}

bool WriteReleasing(std::FILE* file, const FileBytes& bytes, std::size_t begin, std::size_t end) {
    constexpr std::size_t kPiece = std::size_t{4} << 20U;
    end = std::min(end, bytes.size());
    for (std::size_t at = begin; at < end;) {
        const std::size_t n = std::min(kPiece, end - at);
        if (std::fwrite(bytes.data() + at, 1, n, file) != n) return false;
        bytes.Release(at, at + n);
        at += n;
    }
    return true;
}

}  // namespace pelimator
