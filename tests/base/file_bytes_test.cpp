// Mapped files: the content as read, whatever another program does to the file afterwards.
#include "base/file_bytes.h"

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/errors.h"
#include "support/temp_dir.h"

namespace pelimator {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// Some megabytes of varied bytes, so that pages differ.
std::string Content(std::size_t size) {
    std::string content(size, '\0');
    std::mt19937 random(7);
    for (char& c : content) c = static_cast<char>(random() & 0xFFU);
    return content;
}

// Dates the file back, so that a rewrite within the same clock tick still changes its time.
void Backdate(const std::string& path) {
    const timespec old[2] = {{1'000'000'000, 0}, {1'000'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
}

// Rewrites the file in place (same inode), as a program that truncates and writes does.
void RewriteInPlace(const std::string& path, const std::string& content) {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(::ftruncate(::fileno(file), 0), 0);
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
}

// The content with one byte in the middle changed.
std::string Changed(const std::string& read) {
    std::string other = read;
    other[other.size() / 2] ^= 1;
    return other;
}

struct AfterOpenRow {
    const char* name;
    std::function<void(const std::string& path, const std::string& read)> meanwhile;
    bool damaged;
    // What every mapped byte reads afterwards, from what was read; none: as read.
    std::function<std::string(const std::string& read)> seen;
};

// A file cut short to kept bytes reads them, and zeros (the guard's pages) after them.
std::function<std::string(const std::string&)> CutTo(std::size_t kept) {
    return [kept](const std::string& read) {
        return read.substr(0, kept) + std::string(read.size() - kept, '\0');
    };
}

class MappedFileRows : public ::testing::TestWithParam<AfterOpenRow> {};

// Whatever happens to the file, reading every mapped byte never stops the program: the bytes
// are those read while the file stands, and Damage() tells when they no longer stand for it.
TEST_P(MappedFileRows, ReadingGoesOnAndDamageIsToldExactly) {
    const AfterOpenRow& row = GetParam();
    const TempDir dir;
    const std::string path = dir.File("plan.dxf");
    const std::string read = Content(std::size_t{3} << 20U);
    WriteBytes(path, read);
    Backdate(path);
    const FileBytes bytes = MapWholeFile(path, read.size());
    ASSERT_TRUE(bytes.Mapped());

    row.meanwhile(path, read);

    // Every byte copied out and compared: the reads happen (past a cut end, under the guard).
    const std::string seen(bytes.View());
    ASSERT_EQ(seen.size(), read.size());
    const std::string expected = row.seen ? row.seen(read) : read;
    EXPECT_TRUE(seen == expected)
        << "first difference at byte "
        << std::mismatch(seen.begin(), seen.end(), expected.begin()).first - seen.begin();
    const std::string damage = bytes.Damage();
    EXPECT_EQ(!damage.empty(), row.damaged) << damage;
    if (row.damaged) {
        EXPECT_NE(damage.find("plan.dxf"), std::string::npos) << damage;
        EXPECT_THROW(bytes.CheckSound(), FileError);
    } else {
        EXPECT_EQ(bytes.View(), read);
        EXPECT_NO_THROW(bytes.CheckSound());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MappedFileRows,
    ::testing::Values(
        AfterOpenRow{"Untouched", [](const std::string&, const std::string&) {}, false, {}},
        // Our own saves (and most programs') put a new file in its place.
        AfterOpenRow{"ReplacedByANewFile",
                     [](const std::string& path, const std::string& read) {
                         WriteBytes(path + ".new", read.substr(0, 1000) + "changed");
                         fs::rename(path + ".new", path);
                     },
                     false,
                     {}},
        AfterOpenRow{"RemovedAltogether",
                     [](const std::string& path, const std::string&) { fs::remove(path); },
                     false,
                     {}},
        // The pages not yet read show the file's new content.
        AfterOpenRow{"RewrittenInPlaceAtTheSameSize",
                     [](const std::string& path, const std::string& read) {
                         RewriteInPlace(path, Changed(read));
                     },
                     true, Changed},
        AfterOpenRow{"CutShortInPlace",
                     [](const std::string& path, const std::string& read) {
                         RewriteInPlace(path, read.substr(0, 5000));
                     },
                     true, CutTo(5000)},
        AfterOpenRow{"EmptiedInPlace",
                     [](const std::string& path, const std::string&) { RewriteInPlace(path, ""); },
                     true, CutTo(0)}),
    [](const auto& row) { return std::string(row.param.name); });

// A bus error the guard does not own goes on as it would without the guard: to the handler
// installed before it (a sanitizer's, a crash reporter's), else to the default action. Each row
// runs in a fresh process (the guard is installed once per process) with its own previous handler,
// so the result does not hang on what the test runner inherited.
void ExitWith42(int /*signal*/, siginfo_t* /*info*/, void* /*context*/) { std::_Exit(42); }

void MapThenRaiseBusError(const std::string& path, bool previousHandler) {
    struct sigaction previous {};
    sigemptyset(&previous.sa_mask);
    if (previousHandler) {
        previous.sa_sigaction = ExitWith42;  // NOLINT(cppcoreguidelines-pro-type-union-access)
        previous.sa_flags = SA_SIGINFO;
    } else {
        previous.sa_handler = SIG_DFL;  // NOLINT(cppcoreguidelines-pro-type-union-access)
    }
    ::sigaction(SIGBUS, &previous, nullptr);
    sigset_t bus;
    sigemptyset(&bus);
    sigaddset(&bus, SIGBUS);
    ::sigprocmask(SIG_UNBLOCK, &bus, nullptr);
    const FileBytes bytes = MapWholeFile(path, std::size_t{1} << 20U);
    (void)bytes.View();
    // Sent by a process (here the program itself): si_code is SI_TKILL, not a fault on a page.
    ::raise(SIGBUS);
    std::_Exit(0);
}

TEST(FileBytesDeathTest, ABusErrorSentByAProcessGoesOnAsWithoutTheGuard) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const TempDir dir;
    const std::string path = dir.File("plan.dxf");
    WriteBytes(path, Content(std::size_t{1} << 20U));
    EXPECT_EXIT(MapThenRaiseBusError(path, false), ::testing::KilledBySignal(SIGBUS), "");
    EXPECT_EXIT(MapThenRaiseBusError(path, true), ::testing::ExitedWithCode(42), "");
}

// Releasing any ranges, in any order, never changes what the bytes read.
TEST(FileBytes, ReleasedRangesReadAsBefore) {
    const TempDir dir;
    const std::string path = dir.File("big.jww");
    const std::string read = Content(std::size_t{5} << 20U);
    WriteBytes(path, read);
    const FileBytes bytes = MapWholeFile(path, read.size());
    std::mt19937 random(11);
    for (int round = 0; round < 50; ++round) {
        const std::size_t a = random() % (read.size() + 1);
        const std::size_t b = random() % (read.size() + 1);
        bytes.Release(std::min(a, b), std::max(a, b));
        const std::size_t at = random() % read.size();
        ASSERT_EQ(bytes[at], read[at]) << "round " << round;
    }
    EXPECT_EQ(bytes.View(), read);

    // Written out piece by piece, releasing as it goes: the very bytes.
    std::FILE* out = std::fopen(dir.File("copy").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(WriteReleasing(out, bytes, 100, read.size() - 100));
    std::fclose(out);
    EXPECT_EQ(ReadBytes(dir.File("copy")), read.substr(100, read.size() - 200));
}

}  // namespace
}  // namespace pelimator
