// Whole-file reads and the one atomic replace, symbolic links included.
#include "base/file.h"

#include <cerrno>
#include <cstddef>
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
    fs::create_directory(dir.Path() / "locked");
    WriteBytes(dir.File("locked/plan.dxf"), "old");
    fs::permissions(dir.Path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    fs::create_symlink("locked/plan.dxf", dir.Path() / "link.dxf");
    // Root may write into a read-only folder: the write hook refuses as the folder would.
    SetFileWriteHooks({[](int, const char*, std::size_t) -> long {
                           errno = EACCES;
                           return -1;
                       },
                       {}});

    EXPECT_THROW(ReplaceFileContent(dir.File("link.dxf"), "new"), FileError);
    SetFileWriteHooks({});
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

// A file nobody may write (mode 0444) is replaced only with consent, and then keeps its mode;
// a link to it is the same file. Files one may write need none.
TEST(ReplaceFileContent, AWriteProtectedFileIsReplacedOnlyWithConsent) {
    const struct {
        const char* name;
        fs::perms mode;
        bool throughLink;
        bool consent;
        bool replaced;
    } rows[] = {
        {"0444 refused", fs::perms(0444), false, false, false},
        {"0444 through a link refused", fs::perms(0444), true, false, false},
        {"0444 with consent", fs::perms(0444), false, true, true},
        {"0444 through a link with consent", fs::perms(0444), true, true, true},
        {"0644", fs::perms(0644), false, false, true},
        {"0600", fs::perms(0600), false, false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TempDir dir;
        WriteBytes(dir.File("plan.dxf"), "old");
        fs::permissions(dir.File("plan.dxf"), row.mode);
        std::string path = dir.File("plan.dxf");
        if (row.throughLink) {
            fs::create_symlink("plan.dxf", dir.Path() / "link.dxf");
            path = dir.File("link.dxf");
        }
        EXPECT_EQ(IsWriteProtected(path), (row.mode & fs::perms(0222)) == fs::perms::none);
        std::string failure;
        try {
            if (row.consent) {
                const WriteProtectedConsent consent(path);
                ReplaceFileContent(path, "new");
            } else {
                ReplaceFileContent(path, "new");
            }
        } catch (const FileError& error) {
            failure = error.what();
        }
        EXPECT_EQ(ReadBytes(dir.File("plan.dxf")), row.replaced ? "new" : "old") << failure;
        EXPECT_EQ(failure.empty(), row.replaced) << failure;
        if (!row.replaced) {
            EXPECT_NE(failure.find("読み取り専用"), std::string::npos) << failure;
        }
        EXPECT_EQ(fs::status(dir.File("plan.dxf")).permissions() & fs::perms::all, row.mode);
        EXPECT_EQ(TempFilesIn(dir.Path()), 0U);
        // The consent ended with its scope.
        if (row.consent) {
            EXPECT_THROW(ReplaceFileContent(path, "again"), FileError);
        }
    }
}

// What a save copied from must not change under the copy: the check before the rename refuses
// the replace with its own reason, and a copy that failed because its source changed fails for
// that reason, not for the write's.
TEST(WriteFileAtomically, TheSourceCheckRefusesWithItsOwnReason) {
    const auto sourceChanged = [] { throw FileError("元のファイルが書き換えられました"); };
    const struct {
        const char* name;
        bool writeFails;
        bool sourceChanges;
        const char* failure;  // a part of the message; nullptr: replaced
    } rows[] = {
        {"sound copy", false, false, nullptr},
        {"source changed during the copy", false, true, "書き換えられました"},
        {"copy failed, source sound", true, false, "書けません"},
        {"copy failed, source changed", true, true, "書き換えられました"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const TempDir dir;
        WriteBytes(dir.File("plan.dxf"), "old");
        std::string failure;
        try {
            ReplaceOptions options;
            options.checkSources = [&] {
                if (row.sourceChanges) sourceChanged();
            };
            WriteFileAtomically(
                dir.File("plan.dxf"),
                [&](const std::string& tempPath) {
                    WriteBytes(tempPath, "new, half written");
                    if (row.writeFails) throw FileError("書けません");
                },
                options);
        } catch (const FileError& error) {
            failure = error.what();
        }
        if (row.failure == nullptr) {
            EXPECT_EQ(failure, "");
            EXPECT_EQ(ReadBytes(dir.File("plan.dxf")), "new, half written");
        } else {
            EXPECT_NE(failure.find(row.failure), std::string::npos) << failure;
            EXPECT_EQ(ReadBytes(dir.File("plan.dxf")), "old");
        }
        EXPECT_EQ(TempFilesIn(dir.Path()), 0U);
    }
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
