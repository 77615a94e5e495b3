// Every record of one real DXF drawing pasted whole into another, saved and checked: by the
// program (the target's own records kept byte for byte, a save twice and a save of the saved file
// giving the same bytes) and by ezdxf (check_paste.py: each pasted entity is ezdxf's own
// transform of the original, blocks and names carried, nothing new for its audit).
#include <algorithm>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "base/errors.h"
#include "board/dxf/dxf_paste.h"
#include "board/dxf/dxf_record_roles.h"
#include "board/dxf/dxf_source.h"
#include "board/dxf/dxf_table_style_copy.h"
#include "board/dxf/dxf_test_support.h"
#include "board/dxf/dxf_transform.h"
#include "board/files/drawing_file.h"
#include "board/model/clip.h"
#include "board/model/layers.h"
#include "board/model/selection.h"
#include "host/errors.h"
#include "support/real_corpus.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

using testing::TempDir;

std::shared_ptr<const DxfSource> DxfOf(const BoardDocument& document) {
    return std::dynamic_pointer_cast<const DxfSource>(document.Source());
}

std::string RecordBytes(const DxfSource& source, std::size_t r) {
    const std::string_view bytes = source.bytes;
    return std::string(bytes.substr(source.records[r], source.records[r + 1] - source.records[r]));
}

// The handle a record gives itself ("" when none).
std::string OwnHandle(const DxfSource& source, std::size_t r) {
    const std::vector<DxfTag> tags = dxf_roles::ReadTags(source, r);
    for (std::size_t i = 1; i < std::min<std::size_t>(3, tags.size()); ++i) {
        if (tags[i].code == 5) return std::string(TrimDxf(tags[i].value));
    }
    return {};
}

// Whether b is a with bytes inserted at one place.
bool InsertedOnce(std::string_view a, std::string_view b) {
    if (b.size() <= a.size()) return false;
    std::size_t head = 0;
    while (head < a.size() && a[head] == b[head]) ++head;
    return b.substr(b.size() - (a.size() - head)) == a.substr(head);
}

// Every record of before's file but the header and the tables' heads (whose counts and seed a
// save raises) is in after's file as its very bytes; but the dictionaries and image or underlay
// definitions a paste adds entries or reactors to (a table style, an image's definition), which
// are their bytes with the new groups inserted at one place.
std::size_t MissingOwnRecords(const DxfSource& before, const DxfSource& after) {
    std::set<std::string> saved;
    std::map<std::string, std::string> byHandle;
    for (std::size_t r = 0; r + 1 < after.records.size(); ++r) {
        saved.insert(RecordBytes(after, r));
        byHandle.try_emplace(OwnHandle(after, r), RecordBytes(after, r));
    }
    std::size_t missing = 0;
    for (std::size_t r = 0; r + 1 < before.records.size(); ++r) {
        const std::string type = DxfRecordType(before, r);
        if (type == "TABLE" || (type == "SECTION" && r == 0)) continue;
        if (saved.contains(RecordBytes(before, r))) continue;
        const std::string handle = OwnHandle(before, r);
        const auto now = byHandle.find(handle);
        const bool added =
            !handle.empty() && now != byHandle.end() &&
            (type == "DICTIONARY" || type == "IMAGEDEF" || type.ends_with("DEFINITION")) &&
            InsertedOnce(RecordBytes(before, r), now->second);
        if (!added) ++missing;
    }
    return missing;
}

// How many records of the file take a handle another record of it has; and whether $HANDSEED
// lies above every handle.
struct Handles {
    std::size_t repeated = 0;
    bool seedAbove = true;
};
Handles HandlesOf(const DxfSource& source) {
    Handles result;
    std::set<std::uint64_t> seen;
    std::uint64_t most = 0;
    std::uint64_t seed = 0;
    for (std::size_t r = 0; r + 1 < source.records.size(); ++r) {
        const std::vector<DxfTag> tags = dxf_roles::ReadTags(source, r);
        for (std::size_t i = 0; i + 1 < tags.size(); ++i) {
            if (tags[i].code == 9 && TrimDxf(tags[i].value) == "$HANDSEED")
                (void)ParseHandle(TrimDxf(tags[i + 1].value), seed);
        }
        const std::string type = dxf_roles::TypeOf(tags);
        for (std::size_t i = 1; i < std::min<std::size_t>(3, tags.size()); ++i) {
            std::uint64_t handle = 0;
            const bool handleCode =
                tags[i].code == 5 || (tags[i].code == 105 && type == "DIMSTYLE");
            if (!handleCode || !ParseHandle(TrimDxf(tags[i].value), handle)) continue;
            if (!seen.insert(handle).second) ++result.repeated;
            most = std::max(most, handle);
        }
    }
    result.seedAbove = seed == 0 || seed > most;
    return result;
}

// How many dimensions of the file cannot be placed (their block shared, and the like).
std::size_t UnplaceableDimensions(const DxfSource& source) {
    std::size_t count = 0;
    for (std::size_t r = 0; r + 1 < source.records.size(); ++r) {
        if (DxfRecordType(source, r) == "DIMENSION" &&
            !source.PlacementRefusal(static_cast<std::uint32_t>(r)).empty())
            ++count;
    }
    return count;
}

// A's handle of every record pasted into target, in the order a save writes them.
std::string PastedHandles(const BoardDocument& target) {
    std::vector<std::uint32_t> keys;
    for (const auto& [key, edit] : target.DrawingModel()->RecordEdits()) {
        if (edit.from && !edit.erased) keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    std::string list;
    for (const std::uint32_t key : keys) {
        const RecordEdit& edit = target.DrawingModel()->RecordEdits().at(key);
        const auto& from = dynamic_cast<const DxfSource&>(*edit.from);
        for (const DxfTag& tag : dxf_roles::ReadTags(from, edit.source)) {
            if (tag.code == 5) {
                list += std::string(TrimDxf(tag.value)) + "\n";
                break;
            }
        }
    }
    return list;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Everything of the drawing, and the model-space underlays (PDF, DWF, DGN), which the board
// draws no item for (only a snap point at their insertion) and so cannot be picked.
Selection PickAllRecords(const BoardDocument& document) {
    Selection pick = PickAll(document);
    const DxfSource& file = *DxfOf(document);
    for (std::size_t r = 0; r + 1 < file.records.size(); ++r) {
        if (file.records[r] < file.entities.begin || file.records[r] >= file.entities.end ||
            !DxfRecordType(file, r).ends_with("UNDERLAY"))
            continue;
        const std::vector<DxfTag> tags = dxf_roles::ReadTags(file, r);
        const bool paper = std::any_of(tags.begin(), tags.end(), [](const DxfTag& tag) {
            return tag.code == 67 && tag.integer == 1;
        });
        if (!paper) pick.records.push_back(static_cast<std::uint32_t>(r));
    }
    std::sort(pick.records.begin(), pick.records.end());
    pick.records.erase(std::unique(pick.records.begin(), pick.records.end()), pick.records.end());
    return pick;
}

// Runs check_paste.py over the manifest: true when ezdxf found nothing (a missing ezdxf skips).
void CheckWithEzdxf(const std::string& manifest) {
    const std::string command =
        std::string(PELIMATOR_PYTHON3) + " " + PELIMATOR_PASTE_CHECKER + " " + manifest;
    const int status = std::system(command.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "ezdxf is not installed";
    EXPECT_EQ(status, 0) << "check_paste.py found differences (above)";
}

// Everything of a pasted into b (base and at apart), saved as n.dxf in dir; checks what the
// program can, and gives the manifest line for check_paste.py ("" when nothing could be pasted).
// saved: the file written, read back.
std::string PasteAndSave(const std::string& a, const std::string& b, const TempDir& dir,
                         const std::string& n, BoardDocumentPtr& saved) {
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr source = OpenDrawing(*application, a).document;
    const BoardDocumentPtr target = OpenDrawing(*application, b).document;
    const Vec2 base{10.0, -20.0};
    const Vec2 at{1234.5, 678.25};
    // Records on hidden layers too: they hold what names other records (extended data).
    const BoardLayersPtr& layers = source->LayerTable();
    for (std::size_t i = 0; i < layers->Count(); ++i)
        layers->SetVisible(layers->At(i).number, true);
    const DrawingClip clip = ClipSelection(*source, PickAllRecords(*source), base);
    // A dimension is carried with a new block of its own (a shared block is not placed at all).
    if (const auto refused = clip.refusedKinds.find("DIMENSION");
        refused != clip.refusedKinds.end()) {
        EXPECT_LE(refused->second, UnplaceableDimensions(*DxfOf(*source)));
    }
    if (clip.Empty()) return {};
    try {
        (void)PasteClip(*target, clip, at, PasteLayer::SameName);
    } catch (const HostError& refusal) {
        // Only texts and the like between files of other forms (R12 and later): said so.
        EXPECT_NE(std::string(refusal.what()).find("貼り付けられません"), std::string::npos);
        return {};
    }
    const std::string path = dir.File(n + ".dxf");
    SaveDrawing(*target, path);
    SaveDrawing(*target, dir.File("again.dxf"));
    EXPECT_EQ(Slurp(path), Slurp(dir.File("again.dxf"))) << "saved twice differently";
    saved = OpenDrawing(*application, path).document;
    SaveDrawing(*saved, dir.File("back.dxf"));
    EXPECT_EQ(Slurp(path), Slurp(dir.File("back.dxf"))) << "the saved file saves otherwise";
    EXPECT_EQ(MissingOwnRecords(*DxfOf(*target), *DxfOf(*saved)), 0U);
    const Handles before = HandlesOf(*DxfOf(*target));
    const Handles after = HandlesOf(*DxfOf(*saved));
    EXPECT_EQ(after.repeated, before.repeated) << "handles given twice";
    EXPECT_TRUE(after.seedAbove || !before.seedAbove) << "$HANDSEED not above the handles";
    testing::WriteText(dir.File(n + ".txt"), PastedHandles(*target));
    std::ostringstream line;
    line << std::setprecision(17) << a << '\t' << b << '\t' << path << '\t'
         << clip.recordMillimetres / MillimetresPerUnit(*target, 0) << '\t' << base.x << '\t'
         << base.y << '\t' << at.x << '\t' << at.y << '\t' << dir.File(n + ".txt") << '\n';
    return line.str();
}

TEST(PasteRealDrawings, EveryDxfRecordPastesWholeIntoAnotherDrawing) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    const auto files = pelimator::testing::RealDrawings("real-dxf", ".dxf");
    std::string manifest;
    std::size_t pairs = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto& a = files[i];
        const auto& b = files[(i + 1) % files.size()];
        SCOPED_TRACE(a.filename().string() + " -> " + b.filename().string());
        BoardDocumentPtr saved;
        std::string line;
        try {
            line = PasteAndSave(a.string(), b.string(), dir, "p" + std::to_string(i), saved);
        } catch (const FileError&) {
            continue;  // damaged on purpose: opening it is another test's business
        }
        manifest += line;
        pairs += line.empty() ? 0 : 1;
    }
    ASSERT_GT(pairs, 10U);
    testing::WriteText(dir.File("manifest.tsv"), manifest);
    CheckWithEzdxf(dir.File("manifest.tsv"));
}

// How many of the records pasted into target are tables.
std::size_t PastedTables(const BoardDocument& target) {
    std::size_t count = 0;
    for (const auto& [key, edit] : target.DrawingModel()->RecordEdits()) {
        if (edit.from && !edit.erased && edit.from->RecordKind(edit.source) == "ACAD_TABLE")
            ++count;
    }
    return count;
}

// Tables pasted between drawings of the same unit: each with a new *T block, its style the
// target's of the same name (at another handle than the source's in the first two), its block
// cells' blocks carried (acad_2018_sample_acadsharp's second table); into a drawing without that
// style (archicad_issue39's table style dictionary is empty) with the style copied into its
// dictionary, once for both tables; checked by ezdxf.
TEST(PasteRealDrawings, TablesPasteWithTheTargetsStyleAndBlocksOfTheirOwn) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    const auto real = *pelimator::testing::RealCorpus() / "real-dxf";
    const std::pair<const char*, const char*> pairs[] = {
        {"acad_2018_netdxf_sample.dxf", "rhino_mac_polylines.dxf"},
        {"acad_2018_netdxf_sample.dxf", "acad_2004_floorplan.dxf"},
        {"acad_2018_sample_acadsharp.dxf", "acad_2018_georef.dxf"},
        {"acad_2018_sample_acadsharp.dxf", "archicad_issue39.dxf"}};
    const std::size_t tables[] = {1, 1, 2, 2};
    std::string manifest;
    for (std::size_t i = 0; i < std::size(pairs); ++i) {
        SCOPED_TRACE(std::string(pairs[i].first) + " -> " + pairs[i].second);
        const auto application = BoardApplication::Create();
        const BoardDocumentPtr target =
            OpenDrawing(*application, (real / pairs[i].second).string()).document;
        const BoardDocumentPtr source =
            OpenDrawing(*application, (real / pairs[i].first).string()).document;
        const DrawingClip clip = ClipSelection(*source, PickAll(*source), {0.0, 0.0});
        const PasteResult result = PasteClip(*target, clip, {10.0, 20.0}, PasteLayer::SameName);
        EXPECT_FALSE(result.leftKinds.contains("ACAD_TABLE"));
        EXPECT_EQ(PastedTables(*target), tables[i]);
        BoardDocumentPtr saved;
        manifest +=
            PasteAndSave((real / pairs[i].first).string(), (real / pairs[i].second).string(), dir,
                         "t" + std::to_string(i), saved);
        // The target's styles: its own, and one copied where it lacked the source's.
        EXPECT_EQ(DxfTableStyles(*DxfOf(*saved)).size(),
                  std::max<std::size_t>(1, DxfTableStyles(*DxfOf(*target)).size()));
    }
    testing::WriteText(dir.File("manifest.tsv"), manifest);
    CheckWithEzdxf(dir.File("manifest.tsv"));
}

// A drawing pasted into a copy of itself whose nested block was changed: that block and the
// block inserting it are copied under new names (the copy inserting the renamed one), the
// target's own blocks left as they are; the others are the target's own, shared.
TEST(PasteRealDrawings, ABlockOfTheSameNameButOtherContentIsCopiedUnderANewName) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    const std::string a = (*pelimator::testing::RealCorpus() / "real-dxf/brx_2013_insert.dxf");
    const std::string b = dir.File("changed.dxf");
    const std::string change = std::string(PELIMATOR_PYTHON3) +
                               " -c \"import ezdxf,sys; d=ezdxf.readfile(sys.argv[1]); "
                               "next(iter(d.blocks['arrows'])).translate(1,0,0); "
                               "d.saveas(sys.argv[2])\" " +
                               a + " " + b;
    if (std::system(change.c_str()) != 0) GTEST_SKIP() << "ezdxf could not write the drawing";
    BoardDocumentPtr saved;
    const std::string line = PasteAndSave(a, b, dir, "renamed", saved);
    ASSERT_FALSE(line.empty());
    const DxfFileMap map = MapDxfFile(*DxfOf(*saved));
    const DxfFileMap before =
        MapDxfFile(*DxfOf(*OpenDrawing(*BoardApplication::Create(), b).document));
    EXPECT_TRUE(map.blocks.contains("ARROWS_2"));
    EXPECT_TRUE(map.blocks.contains("ARROWS_LV1_2"));
    EXPECT_EQ(map.blocks.size(), before.blocks.size() + 2);
    testing::WriteText(dir.File("manifest.tsv"), line);
    CheckWithEzdxf(dir.File("manifest.tsv"));
}

// How many records of the file are of that type.
std::size_t RecordsOfType(const DxfSource& source, std::string_view type) {
    std::size_t count = 0;
    for (std::size_t r = 0; r + 1 < source.records.size(); ++r)
        count += DxfRecordType(source, r) == type;
    return count;
}

// Images, wipeouts and underlays pasted with their definitions (check_paste.py): into a drawing
// holding definitions of the same files (acad_2004_binary's picture and PDF are
// acad_2018_sample_acadsharp's: shared, none copied), and into one without any image dictionary,
// variables or classes for them (acad_2018_visibility). A drawing before AC1015 has no place for
// their objects: they stay behind, said so.
TEST(PasteRealDrawings, ImagesAndUnderlaysPasteWithTheirDefinitions) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    const auto real = *pelimator::testing::RealCorpus() / "real-dxf";
    const std::pair<const char*, const char*> pairs[] = {
        {"acad_2004_binary.dxf", "acad_2018_sample_acadsharp.dxf"},
        {"acad_2000_images.dxf", "acad_2018_visibility.dxf"}};
    const std::size_t copied[] = {0, 4};  // the definitions each paste copies
    std::string manifest;
    for (std::size_t i = 0; i < std::size(pairs); ++i) {
        SCOPED_TRACE(std::string(pairs[i].first) + " -> " + pairs[i].second);
        const std::string target = (real / pairs[i].second).string();
        BoardDocumentPtr saved;
        manifest += PasteAndSave((real / pairs[i].first).string(), target, dir,
                                 "i" + std::to_string(i), saved);
        ASSERT_NE(saved, nullptr);
        const auto before = OpenDrawing(*BoardApplication::Create(), target).document;
        for (const char* type : {"IMAGEDEF", "PDFDEFINITION"}) {
            EXPECT_LE(RecordsOfType(*DxfOf(*saved), type) - RecordsOfType(*DxfOf(*before), type),
                      copied[i])
                << type;
        }
        EXPECT_EQ(RecordsOfType(*DxfOf(*saved), "IMAGEDEF") +
                      RecordsOfType(*DxfOf(*saved), "PDFDEFINITION"),
                  RecordsOfType(*DxfOf(*before), "IMAGEDEF") +
                      RecordsOfType(*DxfOf(*before), "PDFDEFINITION") + copied[i]);
    }
    testing::WriteText(dir.File("manifest.tsv"), manifest);
    CheckWithEzdxf(dir.File("manifest.tsv"));

    // The same drawing said to be AC1014.
    std::string old = Slurp((real / "acad_2018_visibility.dxf").string());
    const std::size_t version = old.find("AC1032");
    ASSERT_NE(version, std::string::npos);
    old.replace(version, 6, "AC1014");
    testing::WriteText(dir.File("r14.dxf"), old);
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr source =
        OpenDrawing(*application, (real / "acad_2018_sample_acadsharp.dxf").string()).document;
    const BoardDocumentPtr r14 = OpenDrawing(*application, dir.File("r14.dxf")).document;
    const PasteResult result =
        PasteClip(*r14, ClipSelection(*source, PickAllRecords(*source), {0.0, 0.0}), {0.0, 0.0},
                  PasteLayer::SameName);
    for (const char* kind : {"IMAGE", "WIPEOUT", "PDFUNDERLAY"}) {
        const auto left = result.leftKinds.find(kind);
        EXPECT_EQ(left != result.leftKinds.end() ? left->second : 0U, 1U) << kind;
    }
    const DxfSource& from = *DxfOf(*source);
    for (std::size_t r = 0; r + 1 < from.records.size(); ++r) {
        if (DxfRecordType(from, r) != "IMAGE") continue;
        EXPECT_NE(DxfOf(*r14)
                      ->PasteRefusalFrom(from, static_cast<std::uint32_t>(r))
                      .find("この図面の形式 AC1014 は画像や参照の定義を持てないため"),
                  std::string::npos);
    }
}

}  // namespace
}  // namespace pelimator::board
