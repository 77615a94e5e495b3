// Bad input to the batch command: the exit status, a message naming the file and line, and no
// output file left behind.
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "batch/batch_test_support.h"
#include "board/dxf/dxf_file.h"

namespace pelimator::batch {
namespace {

using pelimator::testing::TempDir;
using pelimator::testing::WriteBytes;
using testing::RunCommand;
using testing::SettingsText;

// Files every row finds in its folder.
void WriteFixtures(const TempDir& dir) {
    WriteBytes(dir.File("good.txt"), "0 0\n20 0\n");
    WriteBytes(dir.File("one-point.txt"), "0 0\n10 10\n\n# second path\n5 5\n5 5\n");
    WriteBytes(dir.File("bad-number.txt"), "0 0\n10 10\n\n1.5x 2\n");
    WriteBytes(dir.File("three-numbers.txt"), "0 0 0\n");
    WriteBytes(dir.File("nan.txt"), "0 0\nnan 1\n");
    WriteBytes(dir.File("empty.txt"), "# nothing\n\n");
    WriteBytes(dir.File("small-radius.ini"), SettingsText(10, 4, 5, 3));
    // Over the settings file's 64 MiB limit (sparse: nothing is written but its length).
    WriteBytes(dir.File("huge.ini"), SettingsText(10, 5, 5, 3));
    std::filesystem::resize_file(dir.File("huge.ini"), (std::size_t{64} << 20) + 1);
    WriteBytes(dir.File("damaged.dxf"), "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\nabc\n");
    board::DrawingContent drawing;
    drawing.layers = {{0, "0", {}, true}, {3, "道路", {}, true}, {4, "空", {}, true}};
    drawing.entities = {board::MakeLine({0, 0}, {100, 0}, 3)};
    board::WriteDxfFile(dir.File("in.dxf"), drawing);
    // A drawing at 1000000:1: its pitch (5e-6 units) cannot advance at 1e11, so the second path
    // fails after the first was drawn.
    drawing.scaleNumerator = 1000000;
    board::WriteDxfFile(dir.File("tiny-scale.dxf"), drawing);
    WriteBytes(dir.File("far.txt"), "0 0\n0.001 0\n\n100000000000 0\n100000000000.001 0\n");
    // 1e12 long: about 2e12 arcs at 10 %.
    WriteBytes(dir.File("huge.txt"), "0 0\n1000000000000 0\n");
    // Two paths of 4 arcs, each estimated at 7.
    WriteBytes(dir.File("two.txt"), "0 0\n20 0\n\n0 10\n20 10\n");
    // A settings file in UTF-16 (with its mark), and one behind a loop of links.
    std::string utf16 = "\xFF\xFE";
    for (const char c : SettingsText(10, 5, 5, 3)) {
        utf16 += c;
        utf16 += '\0';
    }
    WriteBytes(dir.File("utf16.ini"), utf16);
    std::filesystem::create_symlink("loop-b", dir.File("loop-a"));
    std::filesystem::create_symlink("loop-a", dir.File("loop-b"));
    // Opening a FIFO for reading blocks until a writer comes: it must be refused unopened.
    ASSERT_EQ(::mkfifo(dir.File("pipe.txt").c_str(), 0600), 0);
}

struct BadInputRow {
    const char* name;
    std::vector<std::string> args;  // "@x" is the file x of the row's folder
    int exitCode;
    std::vector<std::string> messageParts;
};

void PrintTo(const BadInputRow& row, std::ostream* out) { *out << row.name; }

class BadInput : public ::testing::TestWithParam<BadInputRow> {};

TEST_P(BadInput, FailsClearlyAndWritesNothing) {
    const BadInputRow& row = GetParam();
    TempDir dir;
    WriteFixtures(dir);
    const std::size_t entriesBefore = dir.EntryCount();
    std::vector<std::string> args;
    for (const std::string& arg : row.args) {
        args.push_back(arg.starts_with("@") ? dir.File(arg.substr(1)) : arg);
    }
    const auto outcome = RunCommand(args, dir.Path().string(), "0 0\n");
    EXPECT_EQ(outcome.exitCode, row.exitCode) << outcome.err;
    for (const std::string& part : row.messageParts) {
        EXPECT_NE(outcome.err.find(part), std::string::npos) << "expected \"" << part << "\" in:\n"
                                                             << outcome.err;
    }
    EXPECT_EQ(dir.EntryCount(), entriesBefore) << "an output or temporary file was left";
}

const std::vector<BadInputRow> kBadInputs = {
    {"MissingPointsFile",
     {"--points", "@absent.txt", "-o", "@o.dxf"},
     1,
     {"absent.txt」を開けません"}},
    {"PointsFileIsAFolder", {"--points", "@", "-o", "@o.dxf"}, 1, {"フォルダです"}},
    {"MissingDrawing",
     {"--points", "@good.txt", "@absent.dxf"},
     1,
     {"absent.dxf", "何も保存していません"}},
    {"DamagedDrawing", {"--points", "@good.txt", "@damaged.dxf"}, 1, {"damaged.dxf"}},
    {"PathWithOneDistinctPoint",
     {"--points", "@one-point.txt", "-o", "@o.dxf"},
     1,
     {"one-point.txt」 5〜6 行目", "異なる点が 2 つ以上"}},
    {"StdinPathWithOnePoint", {"--points", "-", "-o", "@o.dxf"}, 1, {"標準入力」 1 行目"}},
    {"MalformedNumber",
     {"--points", "@bad-number.txt", "-o", "@o.dxf"},
     1,
     {"bad-number.txt」 4 行目", "\"1.5x\""}},
    {"ThreeNumbersOnALine",
     {"--points", "@three-numbers.txt", "-o", "@o.dxf"},
     1,
     {"three-numbers.txt」 1 行目", "「x y」"}},
    {"NotANumber", {"--points", "@nan.txt", "-o", "@o.dxf"}, 1, {"nan.txt」 2 行目"}},
    {"NoPointsAtAll", {"--points", "@empty.txt", "-o", "@o.dxf"}, 1, {"点がありません"}},
    {"RadiusBelowHalfTheWidth",
     {"--points", "@good.txt", "--settings", "@small-radius.ini", "-o", "@o.dxf"},
     1,
     {"small-radius.ini", "半径(R)は幅(W)÷２以上に設定して下さい。"}},
    {"SettingsFileOverTheSizeLimit",
     {"--points", "@good.txt", "--settings", "@huge.ini", "-o", "@o.dxf"},
     1,
     {"設定ファイルを読めません", "「huge.ini」は大きすぎて", "開けるのは 64 MB"}},
    {"MissingSettingsFile",
     {"--points", "@good.txt", "--settings", "@absent.ini", "-o", "@o.dxf"},
     1,
     {"absent.ini」がありません"}},
    {"SettingsFileInUtf16",
     {"--points", "@good.txt", "--settings", "@utf16.ini", "-o", "@o.dxf"},
     1,
     {"utf16.ini」は UTF-16 で書かれているので読めません"}},
    {"SettingsFolderIsALoopOfLinks",
     {"--points", "@good.txt", "--settings", "@loop-a/Korvane.ini", "-o", "@o.dxf"},
     1,
     {"loop-a/Korvane.ini」を探せません"}},
    {"SettingsFileIsADevice",
     {"--points", "@good.txt", "--settings", "/dev/zero", "-o", "@o.dxf"},
     1,
     {"設定ファイルを読めません", "「zero」は通常のファイルではない"}},
    {"UnknownLayer",
     {"--layers", "道路,川", "@in.dxf"},
     1,
     {"in.dxf」にレイヤ「川」がありません", "3「道路」"}},
    {"LayerWithoutLines", {"--layers", "空", "@in.dxf"}, 1, {"線も円弧もありません"}},
    {"FailsAfterTheFirstPath",
     {"--points", "@far.txt", "--path", "0", "--line", "zigzag", "@tiny-scale.dxf"},
     1,
     {"経路 2 (", "far.txt」 4〜5 行目", "何も保存していません"}},
    {"OutputIsTheInput",
     {"--points", "@good.txt", "-o", "@in.dxf", "@in.dxf"},
     2,
     {"--overwrite-input"}},
    {"MagnificationTooSmall",
     {"--points", "@good.txt", "--mag", "9", "-o", "@o.dxf"},
     2,
     {"--mag", "10〜1000"}},
    {"MagnificationTooLarge",
     {"--points", "@good.txt", "--mag=1001", "-o", "@o.dxf"},
     2,
     {"--mag"}},
    {"MagnificationNotANumber",
     {"--points", "@good.txt", "--mag", "50%", "-o", "@o.dxf"},
     2,
     {"--mag には整数", "\"50%\""}},
    {"UnknownPathKind",
     {"--points", "@good.txt", "--path", "3", "-o", "@o.dxf"},
     2,
     {"--path の値 \"3\""}},
    {"UnknownLineKind",
     {"--points", "@good.txt", "--line", "dots", "-o", "@o.dxf"},
     2,
     {"wave (0), zigzag (1)"}},
    {"ZeroScale", {"--points", "@good.txt", "--scale", "0", "-o", "@o.dxf"}, 2, {"--scale"}},
    {"UnknownOption",
     {"--points", "@good.txt", "--colour", "red"},
     2,
     {"知らないオプションです: --colour", "--help"}},
    {"NoPathSource", {"@in.dxf"}, 2, {"--points"}},
    {"BothPathSources",
     {"--points", "@good.txt", "--layers", "0", "@in.dxf"},
     2,
     {"同時に使えません"}},
    {"NewDrawingWithoutOutput", {"--points", "@good.txt"}, 2, {"--output"}},
    {"OutputFolderMissing",
     {"--points", "@good.txt", "-o", "@no/such/o.dxf"},
     1,
     {"no/such」がありません"}},
    {"ValueMissing", {"--points", "@good.txt", "-o"}, 2, {"-o の後に値"}},
    {"PointsFileIsAFifo",
     {"--points", "@pipe.txt", "-o", "@o.dxf"},
     1,
     {"pipe.txt」は通常のファイルではありません"}},
    {"PointsFromADevice",
     {"--points", "/dev/zero", "-o", "@o.dxf"},
     1,
     {"「/dev/zero」は通常のファイルではありません"}},
    {"SettingsFileIsAFifo",
     {"--points", "@good.txt", "--settings", "@pipe.txt", "-o", "@o.dxf"},
     1,
     {"設定ファイルを読めません", "「pipe.txt」は通常のファイルではない"}},
    {"LineAboveTheDefaultEntityLimit",
     {"--points", "@huge.txt", "--path", "0", "--mag", "10", "-o", "@o.dxf"},
     1,
     {"huge.txt」 1〜2 行目", "約 2000000000003 個", "上限の 10000000 個"}},
    {"LineAboveAGivenEntityLimit",
     {"--points", "@good.txt", "--max-entities", "3", "-o", "@o.dxf"},
     1,
     {"経路 1 (", "上限の 3 個"}},
    {"RunAboveTheLimitOverSeveralPaths",
     {"--points", "@two.txt", "--max-entities", "10", "-o", "@o.dxf"},
     1,
     {"経路 2 (", "約 7 個増え、ここまでの 4 個と合わせて上限の 10 個を超えます"}},
    {"EntityLimitOfZero",
     {"--points", "@good.txt", "--max-entities", "0", "-o", "@o.dxf"},
     2,
     {"--max-entities"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, BadInput, ::testing::ValuesIn(kBadInputs),
                         [](const ::testing::TestParamInfo<BadInputRow>& row) {
                             return std::string(row.param.name);
                         });

// An output whose permissions forbid writing (mode 0444) is refused before anything is drawn,
// unless --force is given; then it is replaced and keeps its mode.
TEST(WriteProtectedOutput, IsReplacedOnlyWithForce) {
    namespace fs = std::filesystem;
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* target;
        bool force;
    } rows[] = {
        {"drawing", {"--points", "@good.txt", "-o", "@out.dxf", "@in.dxf"}, "out.dxf", false},
        {"drawing, --force",
         {"--force", "--points", "@good.txt", "-o", "@out.dxf", "@in.dxf"},
         "out.dxf",
         true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        WriteFixtures(dir);
        WriteBytes(dir.File(row.target), "kept");
        fs::permissions(dir.File(row.target), fs::perms(0444));
        std::vector<std::string> args;
        for (const std::string& arg : row.args) {
            args.push_back(arg.starts_with("@") ? dir.File(arg.substr(1)) : arg);
        }
        const auto outcome = RunCommand(args, dir.Path().string(), "");
        if (row.force) {
            EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
            EXPECT_NE(pelimator::testing::ReadBytes(dir.File(row.target)), "kept");
        } else {
            EXPECT_EQ(outcome.exitCode, 1) << outcome.err;
            EXPECT_NE(outcome.err.find("--force"), std::string::npos) << outcome.err;
            EXPECT_EQ(pelimator::testing::ReadBytes(dir.File(row.target)), "kept");
        }
        EXPECT_EQ(fs::status(dir.File(row.target)).permissions() & fs::perms::all, fs::perms(0444));
    }
}

}  // namespace
}  // namespace pelimator::batch
