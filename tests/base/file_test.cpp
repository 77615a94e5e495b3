// Whole-file reads and the one atomic replace, symbolic links included.
#include "base/file.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/errors.h"
#include "base/temp_file.h"
#include "support/temp_dir.h"

namespace pelimator {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// Files whose name says they are a temporary of ours.
std::size_t TempFilesIn(const fs::path& dir) {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (TempFileOwner(entry.path().filename().string()) > 0) ++count;
    }
    return count;
}

TEST(ReplaceFileContent, ThroughALinkReplacesTheTargetAndKeepsTheLink) {
    const TempDir dir;
    fs::create_directory(dir.Path() / "real");
    WriteBytes(dir.File("real/plan.dxf"), "old");
    fs::create_symlink("real/plan.dxf", dir.Path() / "link.dxf");  // relative, as users make them

    ReplaceFileContent(dir.File("link.dxf"), "new");

    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "link.dxf")));
    EXPECT_EQ(ReadBytes(dir.File("real/plan.dxf")), "new");
    EXPECT_EQ(TempFilesIn(dir.Path()) + TempFilesIn(dir.Path() / "real"), 0U);
}

TEST(ReplaceFileContent, AChainOfLinksEndsAtTheLastTarget) {
    const TempDir dir;
    WriteBytes(dir.File("plan.dxf"), "old");
    fs::create_symlink(dir.File("plan.dxf"), dir.Path() / "a");
    fs::create_symlink("a", dir.Path() / "b");

    ReplaceFileContent(dir.File("b"), "new");

    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "a")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "b")));
    EXPECT_EQ(ReadBytes(dir.File("plan.dxf")), "new");
}

TEST(ReplaceFileContent, ADanglingLinkCreatesItsTarget) {
    const TempDir dir;
    fs::create_symlink("made.dxf", dir.Path() / "link.dxf");

    ReplaceFileContent(dir.File("link.dxf"), "content");

    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "link.dxf")));
    EXPECT_EQ(ReadBytes(dir.File("made.dxf")), "content");
}

TEST(ReplaceFileContent, ALinkIntoAMissingFolderFailsAndKeepsTheLink) {
    const TempDir dir;
    fs::create_symlink("missing/plan.dxf", dir.Path() / "gone.dxf");
    EXPECT_THROW(ReplaceFileContent(dir.File("gone.dxf"), "x"), FileError);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "gone.dxf")));
}

// What cannot be looked up or is no regular file is refused before anything is written, with the
// reason, and what was there stays: a loop of links is not replaced by a file.
TEST(ReplaceFileContent, RefusesTargetsThatAreNoRegularFileAndKeepsThem) {
    const TempDir dir;
    fs::create_symlink("loop_b", dir.Path() / "loop_a");
    fs::create_symlink("loop_a", dir.Path() / "loop_b");
    fs::create_directory(dir.Path() / "folder.dxf");
    ASSERT_EQ(::mkfifo(dir.File("pipe.dxf").c_str(), 0600), 0);
    struct Row {
        const char* name;
        std::string path;
        const char* reason;
    };
    const std::vector<Row> rows = {
        {"a loop of links", dir.File("loop_a"), "シンボリックリンク"},
        {"a folder", dir.File("folder.dxf"), "フォルダ"},
        {"a named pipe", dir.File("pipe.dxf"), "通常のファイルではない"},
        {"a device", "/dev/null", "通常のファイルではない"},
        {"a name too long", dir.File(std::string(300, 'x') + ".dxf"), "長すぎ"},
    };
    for (const Row& row : rows) {
        EXPECT_NE(ReplaceRefusal(row.path).find(row.reason), std::string::npos)
            << row.name << ": " << ReplaceRefusal(row.path);
        try {
            ReplaceFileContent(row.path, "x");
            ADD_FAILURE() << row.name << " was replaced";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find(row.reason), std::string::npos)
                << row.name << ": " << error.what();
        }
    }
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "loop_a")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "loop_b")));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "folder.dxf"));
    EXPECT_EQ(TempFilesIn(dir.Path()), 0U);
}

TEST(ReplaceFileContent, ALinkIntoAReadOnlyFolderFailsAndChangesNothing) {
    const TempDir dir;
    if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    fs::create_directory(dir.Path() / "locked");
    WriteBytes(dir.File("locked/plan.dxf"), "old");
    fs::permissions(dir.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    fs::create_symlink("locked/plan.dxf", dir.Path() / "link.dxf");

    EXPECT_THROW(ReplaceFileContent(dir.File("link.dxf"), "new"), FileError);
    EXPECT_EQ(ReadBytes(dir.File("locked/plan.dxf")), "old");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "link.dxf")));
}

TEST(ReplaceFileContent, KeepsTheOldFilesPermissions) {
    const TempDir dir;
    WriteBytes(dir.File("plan.dxf"), "old");
    fs::permissions(dir.File("plan.dxf"), fs::perms::owner_read | fs::perms::owner_write);
    ReplaceFileContent(dir.File("plan.dxf"), "new");
    EXPECT_EQ(fs::status(dir.File("plan.dxf")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(ReplaceFileContent, AFailedWriteLeavesTheOldFileAndNoTemporary) {
    const TempDir dir;
    WriteBytes(dir.File("plan.dxf"), "old");
    SetFileWriteHooks({[](int, const char*, std::size_t) -> long { return -1; }, {}});
    EXPECT_THROW(ReplaceFileContent(dir.File("plan.dxf"), "new"), FileError);
    SetFileWriteHooks({{}, [](const std::string&) { return false; }});
    EXPECT_THROW(ReplaceFileContent(dir.File("plan.dxf"), "new"), FileError);
    SetFileWriteHooks({});
    EXPECT_EQ(ReadBytes(dir.File("plan.dxf")), "old");
    EXPECT_EQ(dir.EntryCount(), 1U);
}

TEST(ReadWholeFile, RefusesWhatIsNoReadableFileWithTheNameInTheMessage) {
    const TempDir dir;
    WriteBytes(dir.File("big.dxf"), std::string(100, 'x'));
    fs::create_directory(dir.Path() / "folder.dxf");
    struct Row {
        const char* name;
        std::string path;
        const char* says;
    };
    const Row rows[] = {
        {"missing", dir.File("none.dxf"), "none.dxf"},
        {"folder", dir.File("folder.dxf"), "フォルダ"},
        {"too large", dir.File("big.dxf"), "大きすぎ"},
        {"empty path", "", "開けません"},
    };
    for (const Row& row : rows) {
        try {
            (void)ReadWholeFile(row.path, 99);
            ADD_FAILURE() << row.name << ": read";
        } catch (const FileError& error) {
            EXPECT_NE(std::string(error.what()).find(row.says), std::string::npos)
                << row.name << ": " << error.what();
        }
    }
    EXPECT_EQ(ReadWholeFile(dir.File("big.dxf"), 100), std::string(100, 'x'));
}

}  // namespace
}  // namespace pelimator
