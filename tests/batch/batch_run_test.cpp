// The batch command end to end: the same entities as the interactive drawing run, the worked
// examples of both patterns, scales, layers as paths, and where the output goes.
#include <cmath>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "base/file.h"
#include "batch/batch_test_support.h"
#include "board/files/drawing_file.h"
#include "board/model/application.h"
#include "board/model/factory.h"
#include "geometry/calc.h"
#include "line/line_run.h"
#include "settings/ini_edit.h"
#include "settings/settings_file.h"
#include "support/real_corpus.h"

namespace pelimator::batch {
namespace {

using board::DrawingContent;
using board::EntityData;
using board::EntityKind;
using board::Vec2;
using pelimator::testing::ReadBytes;
using pelimator::testing::TempDir;
using pelimator::testing::WriteBytes;
using testing::RunCommand;
using testing::SettingsText;

using Paths = std::vector<std::vector<Vec2>>;

std::string PointsText(const Paths& paths) {
    std::ostringstream text;
    text.precision(17);
    for (const auto& path : paths) {
        for (const Vec2 p : path) text << p.x << " " << p.y << "\n";
        text << "\n";
    }
    return text.str();
}

// What the interactive drawing run adds for these picks: DrawLine on a board document of its
// own, called as the main window calls it, then saved through the same writer.
DrawingContent DrawDirectly(const Paths& paths, const LineOptions& options,
                            const std::string& settingsPath, std::int32_t scaleDenominator,
                            const std::string& inputDrawing = {}) {
    M_Calc::InitPi();
    auto application = board::BoardApplication::Create();
    board::BoardFactory factory(application);
    board::BoardDocumentPtr document;
    if (inputDrawing.empty()) {
        document = application->AddDocument("直接");
        document->Scale()->SetDenominator(scaleDenominator);
    } else {
        document = board::OpenDrawing(*application, inputDrawing).document;
    }
    settings::clsIniEdit ini;
    ini.IniFilePath(settingsPath);
    for (const auto& path : paths) {
        auto picks = factory.CreatePointList();
        for (const Vec2 p : path) picks->Add(p.x, p.y);
        DrawLine(factory, *document, *picks, options, settings::ReadRunSettings(ini),
                 [](std::string_view) {});
    }
    return board::ContentOf(*document);
}

// Writes and reads back content, so both sides meet the same rounding of the file.
DrawingContent ThroughFile(const DrawingContent& content, const std::string& path) {
    board::WriteDxfFile(path, content);
    return board::ReadDxfFile(path).content;
}

struct SameAsInteractiveRow {
    const char* name;
    const char* line;
    const char* path;
    const char* up;
    std::int32_t mag;
    std::int32_t scale;
    int lineKind, pathKind, upSide;  // option indices as the settings file stores them
};

void PrintTo(const SameAsInteractiveRow& row, std::ostream* out) { *out << row.name; }

class SameAsInteractive : public ::testing::TestWithParam<SameAsInteractiveRow> {};

TEST_P(SameAsInteractive, EntityByEntity) {
    const SameAsInteractiveRow& row = GetParam();
    constexpr unsigned kSeed = 20261207;
    SCOPED_TRACE("seed " + std::to_string(kSeed));
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> coordinate(-300.0, 300.0);
    std::uniform_int_distribution<int> count(2, 7);
    Paths paths(4);
    for (auto& path : paths) {
        const int n = count(random);
        for (int i = 0; i < n; ++i) path.push_back({coordinate(random), coordinate(random)});
    }
    TempDir dir;
    WriteBytes(dir.File("points.txt"), PointsText(paths));
    WriteBytes(dir.File("Korvane.ini"), SettingsText(6, 4, 7, 5, 1, 31));
    const auto outcome =
        RunCommand({"--points", dir.File("points.txt"), "--line", row.line, "--path", row.path,
                    "--up", row.up, "--mag", std::to_string(row.mag), "--scale",
                    std::to_string(row.scale), "-o", dir.File("batch.dxf")},
                   dir.Path().string());
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;

    LineOptions options;
    options.lineKind = static_cast<settings::LineKind>(row.lineKind);
    options.pathKind = static_cast<settings::PathKind>(row.pathKind);
    options.up = static_cast<settings::UpSide>(row.upSide);
    options.magnification = row.mag;
    const DrawingContent direct = ThroughFile(
        DrawDirectly(paths, options, dir.File("Korvane.ini"), row.scale), dir.File("direct.dxf"));
    const DrawingContent batch = board::ReadDxfFile(dir.File("batch.dxf")).content;
    ASSERT_GT(batch.entities.size(), paths.size());
    ASSERT_EQ(batch.entities.size(), direct.entities.size());
    for (std::size_t i = 0; i < batch.entities.size(); ++i) {
        ASSERT_EQ(batch.entities[i], direct.entities[i]) << "entity " << i;
        EXPECT_EQ(batch.entities[i].layer, 31);
    }
    EXPECT_EQ(batch.layers, direct.layers);
    EXPECT_EQ(batch.scaleDenominator, row.scale);
    EXPECT_EQ(batch.scaleNumerator, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Options, SameAsInteractive,
    ::testing::Values(
        SameAsInteractiveRow{"WavePolylineLeft", "wave", "0", "left", 100, 1, 0, 0, 0},
        SameAsInteractiveRow{"WaveNearRightHalf", "wave", "near", "right", 50, 1, 0, 1, 1},
        SameAsInteractiveRow{"WaveThroughScaled", "0", "through", "left", 130, 20, 0, 2, 0},
        SameAsInteractiveRow{"ZigzagPolylineRight", "zigzag", "polyline", "1", 100, 1, 1, 0, 1},
        SameAsInteractiveRow{"ZigzagThroughScaled", "1", "2", "0", 75, 3, 1, 2, 0}),
    [](const ::testing::TestParamInfo<SameAsInteractiveRow>& row) { return row.param.name; });

TEST(BatchRun, IntoAnOpenedDrawingKeepsItsContentAndScale) {
    TempDir dir;
    DrawingContent input;
    input.layers = {{0, "0", {}, true}, {31, "既存", {}, true}};
    input.entities = {board::MakeLine({0, 0}, {50, 50}, 0)};
    input.scaleNumerator = 1;
    input.scaleDenominator = 2;
    board::WriteDxfFile(dir.File("in.dxf"), input);
    const std::string before = ReadBytes(dir.File("in.dxf"));
    WriteBytes(dir.File("Korvane.ini"), SettingsText(5, 4, 5, 3, 1, 31));
    const Paths paths{{{0, 0}, {40, 10}, {80, -5}}};
    WriteBytes(dir.File("p.txt"), PointsText(paths));

    // The drawing's own 1:2 wins over --scale.
    const auto outcome = RunCommand(
        {"--points", dir.File("p.txt"), "--scale", "500", dir.File("in.dxf")}, dir.Path().string());
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    EXPECT_NE(outcome.err.find("--scale は使いません"), std::string::npos) << outcome.err;
    EXPECT_EQ(ReadBytes(dir.File("in.dxf")), before);

    LineOptions options;  // the defaults: through the points, wave, 100 %, left
    const DrawingContent direct =
        ThroughFile(DrawDirectly(paths, options, dir.File("Korvane.ini"), 1, dir.File("in.dxf")),
                    dir.File("direct.dxf"));
    const DrawingContent batch = board::ReadDxfFile(dir.File("in-pelimator.dxf")).content;
    EXPECT_EQ(batch.entities, direct.entities);
    EXPECT_EQ(batch.scaleDenominator, 2);
    EXPECT_EQ(batch.entities.front(), input.entities.front());
    EXPECT_EQ(batch.layers.size(), 2U);  // layer 31 existed: nothing created
}

struct ArcExpectation {
    double cx, cy, sx, sy, ex, ey;
};

// A hand-edited zigzag height the run cannot take is named with the height it draws with.
TEST(BatchRun, HandEditedSettingIsNamedWithTheValueUsed) {
    TempDir dir;
    WriteBytes(dir.File("p.txt"), "0 0\n20 0\n");
    WriteBytes(dir.File("k.ini"), "[Zigzag]\nHeight=3mm\n");
    const auto outcome = RunCommand({"--points", dir.File("p.txt"), "--settings", dir.File("k.ini"),
                                     "--line", "zigzag", "-o", dir.File("z.dxf")},
                                    dir.Path().string());
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    EXPECT_NE(
        outcome.err.find("注意: 設定ファイルの [Zigzag] Height=3mm は使えないので 3 を使います"),
        std::string::npos)
        << outcome.err;
}

TEST(BatchRun, WorkedWaveExampleThroughTheCommandLine) {
    TempDir dir;
    WriteBytes(dir.File("p.txt"), "10 20\n16,20\n16 26\n10,26\n");
    WriteBytes(dir.File("k.ini"), SettingsText(6, 5, 5, 3));
    const auto outcome =
        RunCommand({"--points", dir.File("p.txt"), "--settings", dir.File("k.ini"), "--path",
                    "polyline", "--up", "left", "--line", "wave", "-o", dir.File("wave.dxf")},
                   dir.Path().string());
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    const auto arcs = board::ReadDxfFile(dir.File("wave.dxf")).content.entities;
    const std::vector<ArcExpectation> expected = {
        {13, 24, 10, 20, 16, 20}, {20, 23, 16, 26, 16, 20}, {13, 22, 16, 26, 10, 26}};
    ASSERT_EQ(arcs.size(), expected.size());
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        SCOPED_TRACE("arc " + std::to_string(i + 1));
        EXPECT_EQ(arcs[i].kind, EntityKind::Arc);
        EXPECT_NEAR(arcs[i].center.x, expected[i].cx, 1e-9);
        EXPECT_NEAR(arcs[i].center.y, expected[i].cy, 1e-9);
        EXPECT_NEAR(arcs[i].start.x, expected[i].sx, 1e-9);
        EXPECT_NEAR(arcs[i].start.y, expected[i].sy, 1e-9);
        EXPECT_NEAR(arcs[i].end.x, expected[i].ex, 1e-9);
        EXPECT_NEAR(arcs[i].end.y, expected[i].ey, 1e-9);
        EXPECT_NEAR(arcs[i].radius, 5.0, 1e-9);
        EXPECT_EQ(arcs[i].layer, 200);
    }
}

TEST(BatchRun, WorkedZigzagExampleThroughTheCommandLine) {
    TempDir dir;
    WriteBytes(dir.File("k.ini"), SettingsText(6, 5, 5, 4));
    // Picks 0,0 and 17,0 with a 5 mm pitch give the path 0, 5, 10, 15, 17 along X.
    const auto outcome = RunCommand({"--points", "-", "--settings", dir.File("k.ini"), "--path",
                                     "0", "--line", "zigzag", "-o", dir.File("zz.dxf")},
                                    dir.Path().string(), "0 0\n17 0\n");
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    const auto legs = board::ReadDxfFile(dir.File("zz.dxf")).content.entities;
    const std::vector<std::array<double, 4>> expected = {
        {0, 0, 2.5, 2}, {2.5, 2, 7.5, -2}, {7.5, -2, 12.5, 2}, {12.5, 2, 16, -2}};
    ASSERT_EQ(legs.size(), expected.size());
    for (std::size_t i = 0; i < legs.size(); ++i) {
        SCOPED_TRACE("leg " + std::to_string(i + 1));
        EXPECT_EQ(legs[i].kind, EntityKind::Line);
        EXPECT_NEAR(legs[i].start.x, expected[i][0], 1e-12);
        EXPECT_NEAR(legs[i].start.y, expected[i][1], 1e-12);
        EXPECT_NEAR(legs[i].end.x, expected[i][2], 1e-12);
        EXPECT_NEAR(legs[i].end.y, expected[i][3], 1e-12);
    }
}

TEST(BatchRun, ScaleOfANewDrawingSetsPitchAndIsStored) {
    // 1:100 at 50 % with the default wave width 5: chords of 250 drawing units.
    TempDir dir;
    const auto outcome = RunCommand({"--points", "-", "--path", "0", "--scale", "1:100", "--mag",
                                     "50", "-o", dir.File("s.dxf")},
                                    dir.Path().string(), "0 0\n1000 0\n");
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    EXPECT_NE(outcome.err.find("ないので既定値"), std::string::npos);
    const DrawingContent content = board::ReadDxfFile(dir.File("s.dxf")).content;
    EXPECT_EQ(content.scaleDenominator, 100);
    ASSERT_EQ(content.entities.size(), 4U);
    for (const EntityData& arc : content.entities) {
        EXPECT_NEAR(board::Distance(arc.start, arc.end), 250.0, 1e-9);
        EXPECT_NEAR(arc.radius, 200.0, 1e-9);
    }
}

TEST(BatchRun, DrawingWithoutAStoredScaleTakesTheGivenOne) {
    // A minimal foreign DXF: no header at all, so no scale of its own.
    TempDir dir;
    WriteBytes(dir.File("plain.dxf"),
               "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1000\n21\n0\n0\nENDSEC\n"
               "0\nEOF\n");
    const auto outcome =
        RunCommand({"--layers", "0", "--scale", "10", "--line", "zigzag", dir.File("plain.dxf")},
                   dir.Path().string());
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    const DrawingContent content = board::ReadDxfFile(dir.File("plain-pelimator.dxf")).content;
    EXPECT_EQ(content.scaleDenominator, 10);
    EXPECT_EQ(outcome.err.find("扱えない"), std::string::npos) << outcome.err;
    // Pitch 5 mm x 10 = 50 units along 1000: 20 legs beside the original line.
    EXPECT_EQ(content.entities.size(), 21U);
}

TEST(BatchRun, EntitiesTheBoardDoesNotShowAreReportedAndKept) {
    TempDir dir;
    WriteBytes(dir.File("text.dxf"),
               "0\nSECTION\n2\nENTITIES\n0\nLINE\n8\n0\n10\n0\n20\n0\n11\n100\n21\n0\n"
               "0\nTEXT\n8\n0\n10\n0\n20\n0\n40\n2.5\n1\nABC\n0\nENDSEC\n0\nEOF\n");
    const auto outcome = RunCommand({"--layers", "0", dir.File("text.dxf")}, dir.Path().string());
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    EXPECT_NE(outcome.err.find("1 個 (TEXT 1) は経路には使いませんが、出力にはそのまま残します"),
              std::string::npos)
        << outcome.err;
    const std::string saved = ReadWholeFile(dir.File("text-pelimator.dxf"), 1U << 20U);
    EXPECT_NE(saved.find("0\nTEXT\n8\n0\n10\n0\n20\n0\n40\n2.5\n1\nABC\n"), std::string::npos);
}

TEST(BatchRun, LayerChainsAreDrawnLikeTheirPointsPickedByHand) {
    TempDir dir;
    DrawingContent input;
    input.layers = {{0, "0", {}, true}, {5, "外形", {}, true}, {6, "他", {}, true}};
    // A closed square written out of order and partly reversed, an open L, and a line on
    // another layer that must be left alone.
    input.entities = {
        board::MakeLine({100, 0}, {100, 100}, 5), board::MakeLine({0, 0}, {100, 0}, 5),
        board::MakeLine({0, 100}, {100, 100}, 5), board::MakeLine({0, 100}, {0, 0}, 5),
        board::MakeLine({300, 0}, {300, 50}, 5),  board::MakeLine({300, 50}, {350, 50}, 5),
        board::MakeLine({0, 0}, {0, -90}, 6)};
    board::WriteDxfFile(dir.File("in.dxf"), input);
    const auto outcome = RunCommand(
        {"--layers", "外形", "--line", "zigzag", "-o", dir.File("out.dxf"), dir.File("in.dxf")},
        dir.Path().string());
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    EXPECT_NE(outcome.err.find("経路 2/2"), std::string::npos) << outcome.err;

    // The square runs as its first line does: from (100,0) up, then round to (100,0) again.
    const Paths paths{{{100, 0}, {100, 100}, {0, 100}, {0, 0}, {100, 0}},
                      {{300, 0}, {300, 50}, {350, 50}}};
    LineOptions options;
    options.pathKind = settings::PathKind::Polyline;
    options.lineKind = settings::LineKind::Zigzag;
    const DrawingContent direct =
        ThroughFile(DrawDirectly(paths, options, dir.File("none.ini"), 1, dir.File("in.dxf")),
                    dir.File("direct.dxf"));
    EXPECT_EQ(board::ReadDxfFile(dir.File("out.dxf")).content.entities, direct.entities);
}

// A path with no length (a zero-length line, a circle too small to flatten) is skipped and
// named; the others are drawn as without it. Only such paths: refused, naming them.
TEST(BatchRun, LayerPathWithoutLengthIsSkippedAndNamed) {
    TempDir dir;
    DrawingContent input;
    input.layers = {{0, "0", {}, true}, {5, "外形", {}, true}};
    input.entities = {board::MakeLine({0, 0}, {100, 0}, 5), board::MakeLine({40, 40}, {40, 40}, 5),
                      board::MakeLine({300, 0}, {300, 50}, 5)};
    board::WriteDxfFile(dir.File("in.dxf"), input);
    const auto outcome = RunCommand(
        {"--layers", "外形", "-o", dir.File("out.dxf"), dir.File("in.dxf")}, dir.Path().string());
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    EXPECT_NE(outcome.err.find("の図形 2 番目から (1 個、始点 40, 40): 長さのない図形なので"),
              std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("経路 2/2"), std::string::npos) << outcome.err;
    LineOptions options;
    options.pathKind = settings::PathKind::Polyline;
    const DrawingContent direct =
        ThroughFile(DrawDirectly({{{0, 0}, {100, 0}}, {{300, 0}, {300, 50}}}, options,
                                 dir.File("none.ini"), 1, dir.File("in.dxf")),
                    dir.File("direct.dxf"));
    EXPECT_EQ(board::ReadDxfFile(dir.File("out.dxf")).content.entities, direct.entities);

    input.entities = {board::MakeLine({40, 40}, {40, 40}, 5)};
    board::WriteDxfFile(dir.File("dot.dxf"), input);
    const auto refused =
        RunCommand({"--layers", "外形", "-o", dir.File("dot-out.dxf"), dir.File("dot.dxf")},
                   dir.Path().string());
    EXPECT_EQ(refused.exitCode, kExitFailure) << refused.err;
    EXPECT_NE(refused.err.find("長さのある線も円弧もありません"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("長さのない図形"), std::string::npos) << refused.err;
}

// A Jw_cad layer is named on the command line as Jw_cad shows it ("0-0", "0-a"), whatever name
// the file gives it: on every real drawing, --layers G-L takes the layers group G, layer L.
TEST(BatchRun, JwwLayersAreNamedAsJwCadShowsThem) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    for (const auto& file : pelimator::testing::RealDrawings("real-jww", ".jww")) {
        SCOPED_TRACE(file.string());
        const auto application = board::BoardApplication::Create();
        const auto document = board::OpenDrawing(*application, file.string()).document;
        for (const std::int32_t number : {0, 10}) {
            const auto entities = document->DrawingModel()->Entities();
            if (std::none_of(entities.begin(), entities.end(),
                             [&](const auto& e) { return e.layer == number; })) {
                continue;
            }
            const std::string label = number == 0 ? "0-0" : "0-a";
            const auto byLabel = RunCommand(
                {"--layers", label, "--mag", "10", "-o", dir.File("label.jww"), file.string()},
                dir.Path().string());
            ASSERT_EQ(byLabel.exitCode, kExitOk) << byLabel.err;
            const auto byNumber = RunCommand({"--layers", std::to_string(number), "--mag", "10",
                                              "-o", dir.File("number.jww"), file.string()},
                                             dir.Path().string());
            ASSERT_EQ(byNumber.exitCode, kExitOk) << byNumber.err;
            EXPECT_TRUE(ReadBytes(dir.File("label.jww")) == ReadBytes(dir.File("number.jww")));
        }
    }
}

TEST(BatchRun, ExplicitOverwriteReplacesTheInput) {
    TempDir dir;
    board::WriteDxfFile(dir.File("in.dxf"), DrawingContent{{{0, "0", {}, true}}, {}, 1, 1});
    const auto outcome = RunCommand(
        {"--points", "-", "--overwrite-input", "-o", dir.File("in.dxf"), dir.File("in.dxf")},
        dir.Path().string(), "0 0\n20 0\n");
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    EXPECT_EQ(board::ReadDxfFile(dir.File("in.dxf")).content.entities.size(), 4U);
    EXPECT_EQ(dir.EntryCount(), 1U);
}

TEST(BatchRun, PlainErrorOutputHasOneLinePerPathAndASummary) {
    TempDir dir;
    const auto outcome = RunCommand({"--points", "-", "-o", dir.File("o.dxf")}, dir.Path().string(),
                                    "0 0\n20 0\n\n0 10\n20 10\n\n0 20\n9 20\n");
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    EXPECT_NE(outcome.err.find("経路 1/3: 図形 4 個\n経路 2/3: 図形 4 個\n経路 3/3:"),
              std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("完了: 経路 3 本に波線を描き"), std::string::npos);
    EXPECT_NE(outcome.err.find("レイヤ 200「地況線」"), std::string::npos);
    EXPECT_EQ(outcome.err.find('\r'), std::string::npos);
}

TEST(BatchRun, PathsThatYieldNothingAreNamedWithLengthAndPitch) {
    TempDir dir;
    // 1:10: a pitch of 50 units; the first and third paths are shorter.
    const auto outcome =
        RunCommand({"--points", "-", "--path", "0", "--scale", "10", "-o", dir.File("o.dxf")},
                   dir.Path().string(), "0 0\n30 0\n\n0 10\n200 10\n\n0 20\n0 21.5\n");
    ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
    EXPECT_NE(outcome.err.find("注意: 経路 1 (「標準入力」 1〜2 行目): 経路の長さは 30 で"),
              std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("注意: 経路 3 (「標準入力」 7〜8 行目): 経路の長さは 1.5 で"),
              std::string::npos)
        << outcome.err;
    EXPECT_NE(outcome.err.find("点の間隔 50 (図面の単位)"), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find("注意: 経路 2"), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("図形 4 個をレイヤ"), std::string::npos) << outcome.err;
}

TEST(BatchRun, EntityLimitCanBeRaised) {
    TempDir dir;
    const std::string points = "0 0\n100 0\n";  // 20 arcs, estimated at 23
    const auto refused = RunCommand(
        {"--points", "-", "--path", "0", "--max-entities", "22", "-o", dir.File("o.dxf")},
        dir.Path().string(), points);
    EXPECT_EQ(refused.exitCode, kExitFailure) << refused.err;
    const auto allowed = RunCommand(
        {"--points", "-", "--path", "0", "--max-entities", "23", "-o", dir.File("o.dxf")},
        dir.Path().string(), points);
    ASSERT_EQ(allowed.exitCode, kExitOk) << allowed.err;
    EXPECT_EQ(board::ReadDxfFile(dir.File("o.dxf")).content.entities.size(), 20U);
    // The bound is on the run: a second such path needs room for its own estimate.
    const auto twoPaths = RunCommand(
        {"--points", "-", "--path", "0", "--max-entities", "43", "-o", dir.File("o.dxf")},
        dir.Path().string(), points + "\n" + points);
    ASSERT_EQ(twoPaths.exitCode, kExitOk) << twoPaths.err;
    EXPECT_EQ(board::ReadDxfFile(dir.File("o.dxf")).content.entities.size(), 40U);
}

struct FitEndRow {
    const char* name;
    std::vector<std::string> options;
    const char* boardSection;  // the settings file's [Board] lines
    const char* points;
    std::size_t arcs;
    const char* said;  // in the summary or the notes
};

// As the window: the settings file's [Board] FitEnd fits the pitch, --fit-end and --no-fit-end
// decide for the run; a path that cannot be fitted keeps the pitch and says why.
TEST(BatchRun, FitsToTheEndAsTheWindowDoes) {
    // 51.5 long at a pitch of 5: 11 arcs by the normal rule (the last past the end), 10 fitted.
    const char* straight = "0 0\n51.5 0\n";
    const std::vector<FitEndRow> rows = {
        {"Off", {}, "", straight, 11, "図面の単位: mm、点の間隔 5\n"},
        {"Option", {"--fit-end"}, "", straight, 10, "終点合わせ: 1 本の間隔を合わせました\n"},
        {"SettingsFile", {}, "[Board]\nFitEnd=1\n", straight, 10, "終点合わせ: 1 本"},
        {"OptionOverridesTheFile",
         {"--no-fit-end"},
         "[Board]\nFitEnd=1\n",
         straight,
         11,
         "図面の単位"},
        {"HairpinKeepsThePitch",
         {"--fit-end"},
         "",
         "0 0\n52.5 0\n52.5 2\n50.5 2\n",
         11,
         "経路が終点の近くで折り返している"},
    };
    for (const FitEndRow& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        WriteBytes(dir.File("s.ini"), SettingsText(5, 4, 5, 3) + row.boardSection);
        std::vector<std::string> args = {
            "--points",        "-",  "--path",         "0", "--settings",
            dir.File("s.ini"), "-o", dir.File("o.dxf")};
        args.insert(args.end(), row.options.begin(), row.options.end());
        const auto outcome = RunCommand(args, dir.Path().string(), row.points);
        ASSERT_EQ(outcome.exitCode, kExitOk) << outcome.err;
        EXPECT_EQ(board::ReadDxfFile(dir.File("o.dxf")).content.entities.size(), row.arcs);
        EXPECT_NE(outcome.err.find(row.said), std::string::npos) << outcome.err;
        const bool asked =
            std::string(row.name) != "Off" && std::string(row.name) != "OptionOverridesTheFile";
        EXPECT_EQ(outcome.err.find("終点合わせ") != std::string::npos, asked) << outcome.err;
    }
}

TEST(BatchRun, HelpExplainsEveryOptionWithAnExample) {
    const auto outcome = RunCommand({"--help"}, "");
    EXPECT_EQ(outcome.exitCode, kExitOk);
    for (const char* option :
         {"--points", "--layers", "--line", "--path", "--mag", "--up", "--scale", "--settings",
          "--max-entities", "--output", "--overwrite-input", "--fit-end", "--no-fit-end",
          "$INSUNITS", "例:"}) {
        EXPECT_NE(outcome.out.find(option), std::string::npos) << option;
    }
    EXPECT_TRUE(outcome.err.empty());
}

}  // namespace
}  // namespace pelimator::batch
