// Temporary files of saves: their name pattern, and which leftovers a later save removes.
#include "base/temp_file.h"

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/file.h"
#include "support/temp_dir.h"

namespace pelimator {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteBytes;

TEST(TempFileOwner, ReadsTheProcessIdOfOurPatternOnly) {
    const struct {
        const char* name;
        pid_t owner;
    } rows[] = {
        {"pelimator-tmp-4711-a8Zk0q", 4711},
        {"pelimator-tmp-1-000000", 1},
        {"pelimator-tmp-2147483647-zzzzzz", 2147483647},
        {"pelimator-tmp-2147483648-zzzzzz", -1},  // beyond any process id
        {"pelimator-tmp-0-abcdef", -1},
        {"pelimator-tmp--abcdef", -1},
        {"pelimator-tmp-12-abcde", -1},    // five characters
        {"pelimator-tmp-12-abcdefg", -1},  // seven
        {"pelimator-tmp-12-abc.ef", -1},
        {"pelimator-tmp-1x-abcdef", -1},
        {"plan.dxf.tmp-a8Zk0q", -1},
        {"pelimator-tmp-4711-a8Zk0q.dxf", -1},
        {"", -1},
    };
    for (const auto& row : rows) EXPECT_EQ(TempFileOwner(row.name), row.owner) << row.name;
}

TEST(TempFile, ItsNameIsShortAndOfOurPatternWhateverTheTarget) {
    const TempDir dir;
    const TempFile temp(dir.Path().string());
    ASSERT_EQ(temp.Error(), 0);
    const std::string name = fs::path(temp.Path()).filename().string();
    EXPECT_EQ(TempFileOwner(name), ::getpid());
    EXPECT_LE(name.size(), 31U);
    EXPECT_EQ(fs::path(temp.Path()).parent_path(), dir.Path());
}

// A process id that no process has now: a child that has ended.
pid_t EndedProcessId() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

// A process that lives until the object goes.
class OtherProcess {
public:
    OtherProcess() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[1]);
            char c = 0;
            (void)!::read(fds[0], &c, 1);  // until the parent closes its end
            ::_exit(0);
        }
        ::close(fds[0]);
        m_pipe = fds[1];
    }
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;
    OtherProcess(OtherProcess&&) = delete;
    OtherProcess& operator=(OtherProcess&&) = delete;
    ~OtherProcess() {
        ::close(m_pipe);
        int status = 0;
        if (m_pid > 0) ::waitpid(m_pid, &status, 0);
    }
    [[nodiscard]] pid_t Id() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_pipe = -1;
};

std::string Leftover(pid_t owner, const char* random) {
    return std::string(kTempFilePrefix) + std::to_string(owner) + "-" + random;
}

TEST(RemoveStaleTempFiles, RemovesOnlyOurFilesThatNobodyWrites) {
    const TempDir dir;
    const pid_t ended = EndedProcessId();
    const std::string stale = Leftover(ended, "aaaaaa");
    const std::string locked = Leftover(ended, "bbbbbb");
    const OtherProcess other;
    ASSERT_GT(other.Id(), 0);
    const std::string live = Leftover(other.Id(), "cccccc");
    const std::string staleFolder = Leftover(ended, "dddddd");
    const std::string staleLink = Leftover(ended, "eeeeee");
    for (const std::string& name :
         {stale, locked, live, std::string("plan.dxf.tmp-a8Zk0q"), std::string("plan.dxf")}) {
        WriteBytes(dir.File(name), "x");
    }
    fs::create_directory(dir.Path() / staleFolder);
    fs::create_symlink("plan.dxf", dir.Path() / staleLink);
    // Someone (here: this process, through its own open file) still writes it.
    const int holder = ::open(dir.File(locked).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    ReplaceFileContent(dir.File("new.dxf"), "content");
    ::close(holder);

    EXPECT_FALSE(fs::exists(dir.Path() / stale));
    for (const std::string& kept : {locked, live, std::string("plan.dxf.tmp-a8Zk0q"),
                                    std::string("plan.dxf"), staleFolder, staleLink}) {
        EXPECT_TRUE(fs::exists(fs::symlink_status(dir.Path() / kept))) << kept;
    }
    EXPECT_TRUE(fs::exists(dir.Path() / "new.dxf"));
}

// Dates a file back by seconds.
void Age(const std::string& path, long seconds) {
    const std::time_t when = std::time(nullptr) - seconds;
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Seconds since the system started.
long Uptime() {
    timespec up{};
    ::clock_gettime(CLOCK_BOOTTIME, &up);
    return up.tv_sec;
}

// Process ids are used again: after a power cut (or once they wrap) the id in a leftover's name
// may be a running process's, this one's included. Nobody holds such a file's lock, and it is
// older than the system's start or than the stale age: it is removed. A fresh one, or one whose
// lock is held, stays.
TEST(RemoveStaleTempFiles, LeftoversOfReusedProcessIdsGoByTheirLockAndAge) {
    const TempDir dir;
    const OtherProcess other;
    ASSERT_GT(other.Id(), 0);
    const struct Row {
        std::string name;
        long ageSeconds;
        bool held;
        bool removed;
    } rows[] = {
        {Leftover(other.Id(), "before"), Uptime() + 60, false, true},
        {Leftover(::getpid(), "bboots"), Uptime() + 60, false, true},
        {Leftover(other.Id(), "longag"), kStaleTempSeconds + 60, false, true},
        {Leftover(::getpid(), "longag"), kStaleTempSeconds + 60, false, true},
        {Leftover(other.Id(), "fresh0"), 5, false, false},
        {Leftover(::getpid(), "fresh0"), 5, false, false},
        {Leftover(other.Id(), "heldol"), Uptime() + 60, true, false},
    };
    std::vector<int> holders;
    for (const Row& row : rows) {
        WriteBytes(dir.File(row.name), "x");
        Age(dir.File(row.name), row.ageSeconds);
        if (row.held) {
            holders.push_back(::open(dir.File(row.name).c_str(), O_RDONLY | O_CLOEXEC));
            ASSERT_EQ(::flock(holders.back(), LOCK_EX), 0);
        }
    }

    ReplaceFileContent(dir.File("new.dxf"), "content");
    for (const int holder : holders) ::close(holder);

    for (const Row& row : rows) {
        EXPECT_EQ(fs::exists(dir.Path() / row.name), !row.removed) << row.name;
    }
}

}  // namespace
}  // namespace pelimator
