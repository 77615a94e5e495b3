// Saves and reads under faults: signals, a full disk, refused folders, long names, named pipes,
// huge files. Whatever fails, the target stays as it was and no temporary file is left.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/errors.h"
#include "base/file.h"
#include "base/temp_file.h"
#include "support/temp_dir.h"

namespace pelimator {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr std::size_t kLargeSave = std::size_t{8} << 20U;

// What a folder holds: each entry's type and, for regular files, content; one level of
// sub-folders included.
std::map<std::string, std::string> Snapshot(const fs::path& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const std::string name = fs::relative(entry.path(), dir).string();
        const fs::file_status status = entry.symlink_status();
        if (fs::is_regular_file(status)) {
            // Size and head only: a sparse 2 GiB file is among them.
            std::ifstream in(entry.path(), std::ios::binary);
            std::string head(64, '\0');
            in.read(head.data(), static_cast<std::streamsize>(head.size()));
            head.resize(static_cast<std::size_t>(in.gcount()));
            entries[name] = "file of " + std::to_string(entry.file_size()) + " bytes: " + head;
        } else {
            entries[name] = "type " + std::to_string(static_cast<int>(status.type()));
        }
    }
    return entries;
}

std::size_t OurTempFiles(const fs::path& dir) {
    std::size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (TempFileOwner(entry.path().filename().string()) > 0) ++count;
    }
    return count;
}

// The failure text of op, or "done" when it did not fail.
std::string FailureOf(const std::function<void()>& op) {
    try {
        op();
    } catch (const FileError& error) {
        return error.what();
    }
    return "done";
}

// ---- a save in a child process that is sent a signal in the middle of it ----

enum class Before { Default, OwnHandler, Ignored };

volatile std::sig_atomic_t g_handled = 0;
extern "C" void NoteSignal(int /*signal*/) { g_handled = 1; }

// Reads from fd until end of file (or, with one, after the first byte), waiting at most timeoutMs
// for each piece; false on timeout.
bool ReadAll(int fd, std::string& out, int timeoutMs, bool one = false) {
    char buffer[512];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, timeoutMs);
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return false;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return true;
        out.append(buffer, static_cast<std::size_t>(n));
        if (one) return true;
    }
}

[[noreturn]] void SaveInChild(const std::string& target, int readyFd, int reportFd, int signal,
                              Before before) {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = before == Before::Ignored      ? SIG_IGN
                        : before == Before::OwnHandler ? NoteSignal
                                                       : SIG_DFL;
    ::sigaction(signal, &action, nullptr);
    bool told = false;
    SetFileWriteHooks({[&](int fd, const char* data, std::size_t size) -> long {
                           if (!told) {
                               // Mid-save: tell the parent, then give the signal time to act.
                               told = true;
                               (void)!::write(readyFd, "r", 1);
                               const int waitMs = before == Before::Ignored ? 100 : 10000;
                               for (int ms = 0; ms < waitMs && g_handled == 0; ++ms) ::usleep(1000);
                           }
                           return ::write(fd, data, std::min<std::size_t>(size, 1U << 16U));
                       },
                       {}});
    std::string report = "saved";
    try {
        ReplaceFileContent(target, std::string(kLargeSave, 'n'));
    } catch (const FileError& error) {
        report = error.what();
    }
    (void)!::write(reportFd, report.data(), report.size());
    ::_exit(0);
}

// Starts a child that saves a large file over target, sends it signal once it is writing, and
// says how it ended: "ended by signal N", or what its save reported.
std::string SignalDuringSave(const std::string& target, int signal, Before before) {
    int ready[2];
    int report[2];
    if (::pipe(ready) != 0 || ::pipe(report) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child < 0) return "no fork";
    if (child == 0) {
        ::close(ready[0]);
        ::close(report[0]);
        SaveInChild(target, ready[1], report[1], signal, before);
    }
    ::close(ready[1]);
    ::close(report[1]);
    std::string started;
    std::string text;
    if (ReadAll(ready[0], started, 30000, true) && !started.empty()) ::kill(child, signal);
    const bool ended = ReadAll(report[0], text, 30000);
    if (!ended) ::kill(child, SIGKILL);
    ::close(ready[0]);
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (started.empty()) return "the child never started writing";
    if (!ended) return "the child hung";
    if (WIFSIGNALED(status)) return "ended by signal " + std::to_string(WTERMSIG(status));
    return text;
}

// ---- the table ----

struct FaultRow {
    const char* name;
    std::function<void(const TempDir&)> arrange;  // makes the fault (the target exists already)
    std::function<std::string(const TempDir&)> act;
    std::string says;  // in the failure text or outcome
};

void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.name; }

void WriteHook(int error) {
    SetFileWriteHooks({[error](int, const char*, std::size_t) -> long {
                           errno = error;
                           return -1;
                       },
                       {}});
}

std::string SaveTarget(const TempDir& dir) {
    return FailureOf([&] { ReplaceFileContent(dir.File("plan.dxf"), "new"); });
}

const FaultRow kFaultRows[] = {
    {"SigintEndsTheProgram",
     {},
     [](const TempDir& dir) {
         return SignalDuringSave(dir.File("plan.dxf"), SIGINT, Before::Default);
     },
     "ended by signal " + std::to_string(SIGINT)},
    {"SigtermEndsTheProgram",
     {},
     [](const TempDir& dir) {
         return SignalDuringSave(dir.File("plan.dxf"), SIGTERM, Before::Default);
     },
     "ended by signal " + std::to_string(SIGTERM)},
    {"SighupEndsTheProgram",
     {},
     [](const TempDir& dir) {
         return SignalDuringSave(dir.File("plan.dxf"), SIGHUP, Before::Default);
     },
     "ended by signal " + std::to_string(SIGHUP)},
    {"SignalWithTheProgramsOwnHandlerInterruptsTheSave",
     {},
     [](const TempDir& dir) {
         return SignalDuringSave(dir.File("plan.dxf"), SIGTERM, Before::OwnHandler);
     },
     "保存が中断されました"},
    {"KillNineLeavesALeftoverThatTheNextSaveRemoves",
     {},
     [](const TempDir& dir) {
         const std::string ended = SignalDuringSave(dir.File("plan.dxf"), SIGKILL, Before::Default);
         if (OurTempFiles(dir.Path()) != 1) return ended + ", but no leftover";
         ReplaceFileContent(dir.File("plan.dxf"), "old");
         return ended + ", then swept";
     },
     "ended by signal " + std::to_string(SIGKILL) + ", then swept"},
    {"DiskFull", [](const TempDir&) { WriteHook(ENOSPC); }, SaveTarget,
     "ディスクの空きが足りません"},
    {"QuotaExceeded", [](const TempDir&) { WriteHook(EDQUOT); }, SaveTarget, "クォータ"},
    // Root may write into a read-only folder: the write hook refuses as the folder would.
    {"ReadOnlyFolder",
     [](const TempDir& dir) {
         fs::permissions(dir.Path(), fs::perms::owner_read | fs::perms::owner_exec);
         WriteHook(EACCES);
     },
     SaveTarget, "アクセスが許可されていません"},
    {"FolderIsAFile",
     {},
     [](const TempDir& dir) {
         return FailureOf([&] { ReplaceFileContent(dir.File("plan.dxf/inner.dxf"), "new"); });
     },
     "フォルダではありません"},
    {"NameTooLong",
     {},
     [](const TempDir& dir) {
         return FailureOf(
             [&] { ReplaceFileContent(dir.File(std::string(252, 'n') + ".dxf"), "new"); });
     },
     "名前が長すぎます"},
    {"TargetIsAFolder", [](const TempDir& dir) { fs::create_directory(dir.Path() / "sub.dxf"); },
     [](const TempDir& dir) {
         return FailureOf([&] { ReplaceFileContent(dir.File("sub.dxf"), "new"); });
     },
     "フォルダがあります"},
    {"TargetIsANamedPipe", [](const TempDir& dir) { ::mkfifo(dir.File("pipe.dxf").c_str(), 0600); },
     [](const TempDir& dir) {
         return FailureOf([&] { ReplaceFileContent(dir.File("pipe.dxf"), "new"); });
     },
     "通常のファイルではない"},
    {"ReadingANamedPipeDoesNotWait",
     [](const TempDir& dir) { ::mkfifo(dir.File("pipe.dxf").c_str(), 0600); },
     [](const TempDir& dir) {
         return FailureOf([&] { (void)ReadWholeFile(dir.File("pipe.dxf"), 1000); });
     },
     "通常のファイルではない"},
    {"ReadingDevZero",
     {},
     [](const TempDir&) { return FailureOf([] { (void)ReadWholeFile("/dev/zero", 1000); }); },
     "「zero」は通常のファイルではない"},
    {"ReadingAFileLargerThanAllowed",
     {},
     [](const TempDir& dir) {
         return FailureOf([&] { (void)ReadWholeFile(dir.File("plan.dxf"), 2); });
     },
     "大きすぎて開けません (3 バイト。開けるのは 2 バイトまでです)"},
    {"ReadingA2GiBFileIsRefusedUnread",
     [](const TempDir& dir) {
         WriteBytes(dir.File("huge.dxf"), "");
         fs::resize_file(dir.Path() / "huge.dxf", std::uintmax_t{1} << 31U);  // sparse
     },
     [](const TempDir& dir) {
         return FailureOf(
             [&] { (void)ReadWholeFile(dir.File("huge.dxf"), std::size_t{1} << 31U); });
     },
     "(2048 MB。開けるのは 2047 MBまでです)"},
    {"RenameRefused",
     [](const TempDir&) {
         SetFileWriteHooks({{}, [](const std::string&) { return false; }});
     },
     SaveTarget, "名前を変更できません"},
    {"WriterFails",
     {},
     [](const TempDir& dir) {
         return FailureOf([&] {
             WriteFileAtomically(dir.File("plan.dxf"), [](const std::string& temp) {
                 WriteBytes(temp, "half");
                 throw FileError("書き込みの途中で失敗");
             });
         });
     },
     "書き込みの途中で失敗"},
};

class SaveFaults : public ::testing::TestWithParam<FaultRow> {
protected:
    void TearDown() override { SetFileWriteHooks({}); }
};

TEST_P(SaveFaults, LeaveTheTargetIntactAndNoTemporaryFile) {
    const FaultRow& row = GetParam();
    const TempDir dir;
    WriteBytes(dir.File("plan.dxf"), "old");
    if (row.arrange) row.arrange(dir);
    const auto before = Snapshot(dir.Path());

    const std::string outcome = row.act(dir);
    SetFileWriteHooks({});
    fs::permissions(dir.Path(), fs::perms::owner_all, fs::perm_options::add);

    EXPECT_NE(outcome.find(row.says), std::string::npos) << outcome;
    EXPECT_EQ(Snapshot(dir.Path()), before);
    EXPECT_EQ(OurTempFiles(dir.Path()), 0U);
}

INSTANTIATE_TEST_SUITE_P(Rows, SaveFaults, ::testing::ValuesIn(kFaultRows),
                         [](const auto& row) { return std::string(row.param.name); });

// ---- what must succeed ----

TEST(SaveUnderSignal, AnIgnoredSignalLetsTheSaveFinish) {
    const TempDir dir;
    WriteBytes(dir.File("plan.dxf"), "old");
    EXPECT_EQ(SignalDuringSave(dir.File("plan.dxf"), SIGHUP, Before::Ignored), "saved");
    EXPECT_EQ(fs::file_size(dir.Path() / "plan.dxf"), kLargeSave);
    EXPECT_EQ(dir.EntryCount(), 1U);
}

TEST(SaveUnderSignal, ThePreviousHandlersAreInPlaceAgainAfterASave) {
    const TempDir dir;
    struct sigaction own {};
    own.sa_handler = NoteSignal;
    sigemptyset(&own.sa_mask);
    struct sigaction saved[2]{};
    ::sigaction(SIGTERM, &own, &saved[0]);
    ::sigaction(SIGHUP, nullptr, &saved[1]);
    struct sigaction during {};
    SetFileWriteHooks({{}, [&](const std::string&) {
                           ::sigaction(SIGTERM, nullptr, &during);
                           return true;
                       }});
    ReplaceFileContent(dir.File("plan.dxf"), "new");
    SetFileWriteHooks({});
    struct sigaction after[2]{};
    ::sigaction(SIGTERM, &saved[0], &after[0]);
    ::sigaction(SIGHUP, nullptr, &after[1]);
    EXPECT_NE(during.sa_handler, NoteSignal) << "no handler of the save during it";
    EXPECT_EQ(after[0].sa_handler, NoteSignal);
    EXPECT_EQ(after[1].sa_handler, saved[1].sa_handler);
}

TEST(ReplaceFileContent, SavesUnderTheLongestNamesTheFolderAllows) {
    const TempDir dir;
    std::string kanji;
    for (int i = 0; i < 85; ++i) kanji += "図";  // 255 bytes in UTF-8
    for (const std::string& name : {std::string(251, 'p') + ".dxf", kanji}) {
        ASSERT_EQ(name.size(), 255U);
        ReplaceFileContent(dir.File(name), "first");
        ReplaceFileContent(dir.File(name), "second");
        EXPECT_EQ(ReadBytes(dir.File(name)), "second");
    }
    EXPECT_EQ(dir.EntryCount(), 2U);
}

}  // namespace
}  // namespace pelimator
