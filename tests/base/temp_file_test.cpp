// Temporary files of saves: their name pattern, and which leftovers a later save removes.
#include "base/temp_file.h"

#include <filesystem>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
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

}  // namespace
}  // namespace pelimator
