// Autosave and recovery: a process killed while editing, or in the middle of an autosave, leaves
// its last complete autosave for the next start; a clean end leaves nothing.
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/file.h"
#include "board/files/drawing_file.h"
#include "board/files/drawing_snapshot.h"
#include "board/recovery/autosaver.h"
#include "board/recovery/recovery_store.h"
#include "support/real_corpus.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

using testing::TempDir;

// How the child process ends after its first autosave.
enum class Ending {
    KilledWhileEditing,       // SIGKILL inside an open edit step, changes not yet autosaved
    KilledWritingTheDrawing,  // SIGKILL when the second autosave's drawing is written, unrenamed
    KilledBeforeTheInfo,      // SIGKILL after that drawing's rename, before its info file's
    EndedCleanly,             // Finish, then exit
};

struct EndingRow {
    const char* name;
    Ending ending;
    bool offered;  // whether the next start finds the first autosave
};

const EndingRow kEndings[] = {
    {"killed while editing", Ending::KilledWhileEditing, true},
    {"killed writing the drawing", Ending::KilledWritingTheDrawing, true},
    {"killed between the drawing and its info", Ending::KilledBeforeTheInfo, true},
    {"ended cleanly", Ending::EndedCleanly, false},
};

// A few lines and arcs, different for each seed, added as one edit step.
void AddEdits(BoardDocument& document, unsigned seed, bool commit) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> coordinate(-1000.0, 1000.0);
    BoardDrawing& drawing = *document.DrawingModel();
    drawing.BeginEdit("テスト編集");
    for (int i = 0; i < 5; ++i) {
        const Vec2 a{coordinate(random), coordinate(random)};
        const Vec2 b{coordinate(random), coordinate(random)};
        const double radius = 1.0 + std::abs(b.x) / 10.0;
        const double turn = b.y / 100.0;
        drawing.AddEntity(
            i % 2 == 0 ? MakeLine(a, b)
                       : MakeArc(a, {a.x + radius, a.y},
                                 {a.x + radius * std::cos(turn), a.y + radius * std::sin(turn)}));
    }
    if (commit) drawing.EndEdit(true);
}

// Whether two entity lists are the same drawing: the same kinds, layers and styles, and points
// equal to within what a file's decimal figures and an arc's angles keep (1e-9 relative).
::testing::AssertionResult SameEntities(const std::vector<EntityData>& actual,
                                        const std::vector<EntityData>& expected) {
    if (actual.size() != expected.size()) {
        return ::testing::AssertionFailure()
               << actual.size() << " entities instead of " << expected.size();
    }
    const auto near = [](Vec2 p, Vec2 q) {
        const double scale = 1.0 + std::max({std::abs(p.x), std::abs(p.y)});
        return std::abs(p.x - q.x) <= 1e-9 * scale && std::abs(p.y - q.y) <= 1e-9 * scale;
    };
    for (std::size_t i = 0; i < actual.size(); ++i) {
        const EntityData& a = actual[i];
        const EntityData& e = expected[i];
        const bool arc = e.kind == EntityKind::Arc;
        if (a.kind != e.kind || a.layer != e.layer || a.visible != e.visible ||
            a.style != e.style || a.subStyle != e.subStyle || !near(a.start, e.start) ||
            !near(a.end, e.end) || (arc && !near(a.center, e.center)) ||
            (arc && !near({a.radius, 0}, {e.radius, 0}))) {
            return ::testing::AssertionFailure()
                   << "entity " << i << " differs: (" << a.start.x << ", " << a.start.y << ")-("
                   << a.end.x << ", " << a.end.y << ") instead of (" << e.start.x << ", "
                   << e.start.y << ")-(" << e.end.x << ", " << e.end.y << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

// In a child process: autosaves document once, changes it again and ends as told. Never returns.
[[noreturn]] void RunChild(const BoardApplicationPtr& application, const std::string& root,
                           Ending ending) {
    try {
        auto session = std::make_shared<RecoverySession>(root);
        Autosaver autosaver(session, [](const std::string&) { std::_Exit(4); });
        if (autosaver.SaveChanged(*application) != 1) std::_Exit(5);
        autosaver.Wait();
        BoardDocument& document = *application->DocumentAt(0);
        switch (ending) {
            case Ending::KilledWhileEditing:
                AddEdits(document, 99, false);
                std::raise(SIGKILL);
                break;
            case Ending::KilledWritingTheDrawing:
            case Ending::KilledBeforeTheInfo: {
                AddEdits(document, 99, true);
                // The drawing's replace is the first, its info file's the second.
                const int killAt = ending == Ending::KilledWritingTheDrawing ? 1 : 2;
                auto renames = std::make_shared<int>(0);
                SetFileWriteHooks({{}, [renames, killAt](const std::string&) {
                                       if (++*renames == killAt) std::raise(SIGKILL);
                                       return true;
                                   }});
                autosaver.SaveChanged(*application);
                autosaver.Wait();
                break;
            }
            case Ending::EndedCleanly:
                autosaver.Finish();
                std::_Exit(0);
        }
    } catch (...) {
        std::_Exit(3);
    }
    std::_Exit(6);  // still alive after the kill
}

// Every drawing of the real corpus small enough for a quick run, plus a new drawing ("").
std::vector<std::string> Drawings() {
    std::vector<std::string> paths{""};
    for (const char* kind : {".dxf", ".jww"}) {
        const char* sub = kind[1] == 'd' ? "real-dxf" : "real-jww";
        for (const auto& path : testing::RealDrawings(sub, kind)) {
            std::error_code error;
            if (std::filesystem::file_size(path, error) < (std::size_t{1} << 20U)) {
                paths.push_back(path.string());
            }
        }
    }
    return paths;
}

TEST(Recovery, KilledSessionLeavesItsLastCompleteAutosaveAndACleanEndNothing) {
    const std::vector<std::string> drawings = Drawings();
    if (drawings.size() == 1) std::puts("skipped: no real drawings, only a new drawing is used");
    unsigned seed = 1;
    for (const std::string& path : drawings) {
        for (const EndingRow& row : kEndings) {
            SCOPED_TRACE(std::string(row.name) + ": " + (path.empty() ? "new drawing" : path));
            TempDir dir;
            const std::string root = dir.File("state/Pelimator");
            const auto application = BoardApplication::Create();
            BoardDocumentPtr document;
            try {
                document = path.empty() ? application->AddDocument("図面1")
                                        : OpenDrawing(*application, path).document;
            } catch (const std::exception&) {
                continue;  // a drawing the board refuses: nothing to autosave
            }
            AddEdits(*document, ++seed, true);
            const DrawingContent expected = ContentOf(*document);
            const DrawingSnapshot written = SnapshotOf(*document);

            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) RunChild(application, root, row.ending);
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            if (row.ending == Ending::EndedCleanly) {
                ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
            } else {
                ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
            }

            const std::vector<RecoveryEntry> entries = FindRecoverable(root);
            if (!row.offered) {
                EXPECT_TRUE(entries.empty());
                EXPECT_TRUE(std::filesystem::is_empty(root));
                continue;
            }
            ASSERT_EQ(entries.size(), 1U);
            const RecoveryEntry& entry = entries.front();
            EXPECT_EQ(entry.info.name, document->Name());
            EXPECT_EQ(entry.info.originalPath, document->Path());
            EXPECT_EQ(entry.info.changes.find("図形の追加 "), 0U) << entry.info.changes;
            EXPECT_EQ(std::filesystem::path(entry.DataPath()).extension().string(),
                      written.Extension());

            const auto reopened = BoardApplication::Create();
            const OpenedDrawing recovered = OpenDrawing(*reopened, entry.DataPath());
            const DrawingContent actual = ContentOf(*recovered.document);
            EXPECT_EQ(actual.layers, expected.layers);
            EXPECT_TRUE(SameEntities(actual.entities, expected.entities));
            EXPECT_EQ(actual.scaleNumerator, expected.scaleNumerator);
            EXPECT_EQ(actual.scaleDenominator, expected.scaleDenominator);
            if (!path.empty()) {
                // What the board does not edit (texts, blocks, ...) is recovered too: the file
                // holds every record of the file read.
                EXPECT_GE(std::filesystem::file_size(entry.DataPath()),
                          std::filesystem::file_size(path) / 2);
            }

            DiscardRecovered(entry);
            EXPECT_TRUE(FindRecoverable(root).empty());
            EXPECT_TRUE(std::filesystem::is_empty(root));
        }
    }
}

TEST(Recovery, ARunningSessionIsNotOfferedNorADrawingSavedOrClosed) {
    TempDir dir;
    const std::string root = dir.File("Pelimator");
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr saved = application->AddDocument("保存する");
    const BoardDocumentPtr closed = application->AddDocument("閉じる");
    const BoardDocumentPtr kept = application->AddDocument("残す");
    {
        auto session = std::make_shared<RecoverySession>(root);
        Autosaver autosaver(session, [](const std::string& error) { ADD_FAILURE() << error; });
        for (const auto& document : {saved, closed, kept}) {
            autosaver.Track(document);
            AddEdits(*document, 7, true);
        }
        EXPECT_EQ(autosaver.SaveChanged(*application), 3U);
        EXPECT_EQ(autosaver.SaveChanged(*application), 0U);  // nothing changed since
        autosaver.Wait();
        EXPECT_TRUE(FindRecoverable(root).empty());  // its process runs: not offered

        SaveDrawing(*saved, dir.File("saved.dxf"));
        application->RemoveDocument(static_cast<std::size_t>(application->IndexOf(closed.get())));
        AddEdits(*kept, 8, false);  // a step still open is not copied half made
        EXPECT_EQ(autosaver.SaveChanged(*application), 0U);
        kept->DrawingModel()->EndEdit(true);
        EXPECT_EQ(autosaver.SaveChanged(*application), 1U);
        autosaver.Wait();
    }  // the session ends without Finish, as a crash would end it
    const std::vector<RecoveryEntry> entries = FindRecoverable(root);
    ASSERT_EQ(entries.size(), 1U);
    EXPECT_EQ(entries[0].info.name, "残す");
    EXPECT_EQ(entries[0].info.changes, "図形の追加 10・消去 0、最後の操作「テスト編集」");
    const auto reopened = BoardApplication::Create();
    const OpenedDrawing recovered = OpenDrawing(*reopened, entries[0].DataPath());
    EXPECT_TRUE(SameEntities(ContentOf(*recovered.document).entities, ContentOf(*kept).entities));
    EXPECT_EQ(ContentOf(*recovered.document).entities.size(), 10U);
}

TEST(Recovery, AdoptedDrawingStaysRecoverableUntilSaved) {
    TempDir dir;
    const std::string root = dir.File("Pelimator");
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr document = application->AddDocument("図面1");
    AddEdits(*document, 3, true);
    {
        Autosaver first(std::make_shared<RecoverySession>(root), {});
        first.SaveChanged(*application);
        first.Wait();
    }
    const std::vector<RecoveryEntry> offered = FindRecoverable(root);
    ASSERT_EQ(offered.size(), 1U);
    const auto next = BoardApplication::Create();
    const OpenedDrawing opened = OpenDrawing(*next, offered[0].DataPath());
    {
        Autosaver second(std::make_shared<RecoverySession>(root), {});
        second.Adopt(opened.document, offered[0]);
        // Adopted and not yet changed: still there for a start after a second crash, once.
        EXPECT_TRUE(FindRecoverable(root).empty());
    }
    const std::vector<RecoveryEntry> again = FindRecoverable(root);
    ASSERT_EQ(again.size(), 1U);
    EXPECT_EQ(again[0].info.name, "図面1");
    EXPECT_NE(again[0].sessionFolder, offered[0].sessionFolder);
    EXPECT_FALSE(std::filesystem::exists(offered[0].sessionFolder));
}

TEST(Recovery, InfoSurvivesAnyTextInItsFields) {
    std::mt19937 random(20261209);
    const std::string alphabet = std::string("a=\\\n\r\t ü図") + '\0';
    for (int round = 0; round < 200; ++round) {
        SCOPED_TRACE("seed 20261209 round " + std::to_string(round));
        auto text = [&] {
            std::string s;
            const int n = static_cast<int>(random() % 12);
            for (int i = 0; i < n; ++i) s += alphabet[random() % alphabet.size()];
            return s;
        };
        RecoveryInfo info{text(), text(), static_cast<std::int64_t>(random()) - 1000, text(),
                          "d1-" + std::to_string(round) + ".dxf"};
        const auto parsed = ParseRecoveryInfo(FormatRecoveryInfo(info));
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(*parsed, info);
    }
    EXPECT_FALSE(ParseRecoveryInfo("name=a\npath=\ntime=1\nchanges=\nfile=../x.dxf\n"));
    EXPECT_FALSE(ParseRecoveryInfo("name=a\npath=\ntime=1x\nchanges=\nfile=x.dxf\n"));
    EXPECT_FALSE(ParseRecoveryInfo("name=a\npath=\ntime=1\nchanges=\n"));
}

// Erases the entities shown at [first, last), as one step titled 削除.
void Erase(BoardDrawing& drawing, std::size_t first, std::size_t last) {
    EditStep step;
    const std::span<const EntityData> shown = drawing.Entities();
    for (std::size_t i = first; i < last; ++i) {
        step.changes.push_back({i, shown[i], shown[i], false, true});
    }
    drawing.Apply("削除", std::move(step));
}

// The info file's "what changed" of the only drawing autosaver follows, once written.
std::string ChangesWritten(Autosaver& autosaver, const BoardApplication& application) {
    EXPECT_EQ(autosaver.SaveChanged(application), 1U);
    autosaver.Wait();
    const FileRead read =
        TryReadWholeFile(autosaver.Session().Folder() + "/d1.info", std::size_t{1} << 20U);
    const std::optional<RecoveryInfo> info = ParseRecoveryInfo(read.content);
    return info ? info->changes : "(no info)";
}

// A drawing is followed from the moment its tab is added, before the file is read into it, as
// the window does; what the offer says changed counts from the drawing as read, and again from
// each save: over real drawings, k erased entities are k erased, none added.
TEST(Recovery, ChangesCountFromTheDrawingAsReadAndFromEachSave) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    for (const auto& path : {testing::RealDrawings("real-dxf", ".dxf").front(),
                             testing::RealDrawings("real-jww", ".jww").front()}) {
        SCOPED_TRACE(path.string());
        TempDir dir;
        const auto application = BoardApplication::Create();
        Autosaver autosaver(std::make_shared<RecoverySession>(dir.File("Pelimator")),
                            [](const std::string& error) { ADD_FAILURE() << error; });
        const ObserverId observer = application->AddObserver(
            [&](ApplicationChange change, const BoardDocumentPtr& document) {
                if (change == ApplicationChange::DocumentAdded) autosaver.Track(document);
            });
        const OpenedDrawing opened = OpenDrawing(*application, path.string());
        BoardDrawing& drawing = *opened.document->DrawingModel();
        ASSERT_GE(drawing.Count(), 5U);
        Erase(drawing, 0, 3);
        EXPECT_EQ(ChangesWritten(autosaver, *application),
                  "図形の追加 0・消去 3、最後の操作「削除」");
        // Saved, then one more erased: counted from the save, before any tick saw it saved.
        SaveDrawing(*opened.document, dir.File("saved" + path.extension().string()));
        Erase(drawing, 3, 4);
        EXPECT_EQ(ChangesWritten(autosaver, *application),
                  "図形の追加 0・消去 1、最後の操作「削除」");
        application->RemoveObserver(observer);
    }
}

}  // namespace
}  // namespace pelimator::board
