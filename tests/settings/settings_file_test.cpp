// The settings file: its path, each reader's defaults and clamping, and the writers' output.
#include "settings/settings_file.h"

#include <algorithm>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace pelimator::settings {
namespace {

using pelimator::testing::ReadBytes;
using pelimator::testing::TempDir;
using pelimator::testing::WriteBytes;

struct PathRow {
    const char* name;
    const char* dir;
    const char* expected;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const PathRow& row, std::ostream* out) { *out << row.name; }

class SettingsFilePathRows : public ::testing::TestWithParam<PathRow> {};

TEST_P(SettingsFilePathRows, AddsOneSeparator) {
    EXPECT_EQ(SettingsFilePath(GetParam().dir), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SettingsFilePathRows,
    ::testing::Values(PathRow{"PlainDir", "/opt/pelimator", "/opt/pelimator/Korvane.ini"},
                      PathRow{"TrailingSlash", "/opt/pelimator/", "/opt/pelimator/Korvane.ini"},
                      PathRow{"Root", "/", "/Korvane.ini"},
                      PathRow{"Relative", "bin", "bin/Korvane.ini"},
                      PathRow{"Empty", "", "Korvane.ini"},
                      PathRow{"Japanese", "/home/利用者", "/home/利用者/Korvane.ini"}),
    [](const auto& row) { return std::string(row.param.name); });

class SettingsFileTest : public ::testing::Test {
protected:
    SettingsFileTest() { m_ini.IniFilePath(m_path); }

    TempDir m_dir;
    std::string m_path = SettingsFilePath(m_dir.Path().string());
    clsIniEdit m_ini;
};

// The dialog shows the values the drawing run uses (it once showed R 3 and H 5 while lines were
// drawn with R 4 and H 3).
TEST_F(SettingsFileTest, NoFileGivesEachReadersOwnDefaults) {
    const MainOptions main = ReadMainOptions(m_ini);
    EXPECT_EQ(main.Poly, PathKind::ThroughPoints);
    EXPECT_EQ(main.Type, LineKind::Wave);
    EXPECT_EQ(main.Mag, 100);
    EXPECT_EQ(main.Dir, UpSide::Left);

    const RunSettings run = ReadRunSettings(m_ini);
    EXPECT_EQ(run.WaveWidth, 5);
    EXPECT_EQ(run.WaveRadius, 4);
    EXPECT_EQ(run.ZigzagWidth, 5);
    EXPECT_EQ(run.ZigzagHeight, 3);
    EXPECT_EQ(run.LayerChange, 1);
    EXPECT_EQ(run.LayerNumber, 200);

    const DialogSettings dialog = ReadDialogSettings(m_ini);
    EXPECT_EQ(dialog.WaveWidth, 5);
    EXPECT_EQ(dialog.WaveRadius, 4);
    EXPECT_EQ(dialog.ZigzagWidth, 5);
    EXPECT_EQ(dialog.ZigzagHeight, 3);
    EXPECT_EQ(dialog.LayerChange, 1);
    EXPECT_EQ(dialog.LayerNumber, 200);
    EXPECT_FALSE(std::filesystem::exists(m_path)) << "reading created the file";
}

TEST_F(SettingsFileTest, WritersProduceTheFileInKeyOrder) {
    EXPECT_TRUE(WriteDialogSettings(m_ini, DialogSettings{}));
    EXPECT_EQ(ReadBytes(m_path),
              "[Wave]\nWidth=5\nRadius=4\n[Zigzag]\nWidth=5\nHeight=3\n"
              "[Layer]\nChange=1\nNumber=200\n");
    EXPECT_TRUE(WriteMainOptions(
        m_ini, MainOptions{PathKind::NearPoints, LineKind::Zigzag, 250, UpSide::Right}));
    EXPECT_EQ(ReadBytes(m_path),
              "[Wave]\nWidth=5\nRadius=4\n[Zigzag]\nWidth=5\nHeight=3\n"
              "[Layer]\nChange=1\nNumber=200\n[Main]\nPoly=1\nType=1\nMag=250\nDir=1\n");
}

TEST_F(SettingsFileTest, WriterFailureIsReportedAndChangesNothing) {
    WriteBytes(m_path, "[Wave]\nWidth=5\nRadius=3\n");
    SetProfileWriteHooks({{}, [](const std::string&) { return false; }});
    EXPECT_FALSE(WriteDialogSettings(m_ini, DialogSettings{10, 5, 6, 6, 0, 7}));
    EXPECT_FALSE(WriteMainOptions(m_ini, MainOptions{}));
    SetProfileWriteHooks({});
    EXPECT_EQ(ReadBytes(m_path), "[Wave]\nWidth=5\nRadius=3\n");
}

struct HandEdited {
    const char* name;
    const char* content;
    MainOptions main;
    RunSettings run;
    DialogSettings dialog;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const HandEdited& row, std::ostream* out) { *out << row.name; }

class HandEditedRows : public SettingsFileTest, public ::testing::WithParamInterface<HandEdited> {};

TEST_P(HandEditedRows, ReadersBringValuesIntoRange) {
    WriteBytes(m_path, GetParam().content);
    const MainOptions m = ReadMainOptions(m_ini);
    const RunSettings r = ReadRunSettings(m_ini);
    const DialogSettings d = ReadDialogSettings(m_ini);
    const auto& e = GetParam();
    EXPECT_EQ(m.Poly, e.main.Poly);
    EXPECT_EQ(m.Type, e.main.Type);
    EXPECT_EQ(m.Mag, e.main.Mag);
    EXPECT_EQ(m.Dir, e.main.Dir);
    EXPECT_EQ(r.WaveWidth, e.run.WaveWidth);
    EXPECT_EQ(r.WaveRadius, e.run.WaveRadius);
    EXPECT_EQ(r.ZigzagWidth, e.run.ZigzagWidth);
    EXPECT_EQ(r.ZigzagHeight, e.run.ZigzagHeight);
    EXPECT_EQ(r.LayerChange, e.run.LayerChange);
    EXPECT_EQ(r.LayerNumber, e.run.LayerNumber);
    EXPECT_EQ(d.WaveWidth, e.dialog.WaveWidth);
    EXPECT_EQ(d.WaveRadius, e.dialog.WaveRadius);
    EXPECT_EQ(d.ZigzagWidth, e.dialog.ZigzagWidth);
    EXPECT_EQ(d.ZigzagHeight, e.dialog.ZigzagHeight);
    EXPECT_EQ(d.LayerChange, e.dialog.LayerChange);
    EXPECT_EQ(d.LayerNumber, e.dialog.LayerNumber);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HandEditedRows,
    ::testing::Values(
        HandEdited{"InRangeValuesPassUnchanged",
                   "[Main]\nPoly=0\nType=1\nMag=10\nDir=1\n[Wave]\nWidth=50\nRadius=25\n"
                   "[Zigzag]\nWidth=1\nHeight=50\n[Layer]\nChange=0\nNumber=999999999\n",
                   {PathKind::Polyline, LineKind::Zigzag, 10, UpSide::Right},
                   {50, 25, 1, 50, 0, 999999999},
                   {50, 25, 1, 50, 0, 999999999}},
        HandEdited{"IndicesOutOfTheirGroupsGiveDefaults",
                   "[Main]\nPoly=3\nType=-1\nMag=100\nDir=2\n",
                   {PathKind::ThroughPoints, LineKind::Wave, 100, UpSide::Left},
                   {},
                   {}},
        HandEdited{"Int16WrapDoesNotSneakAnIndexIn",
                   "[Main]\nPoly=65536\nType=65537\n",
                   {PathKind::ThroughPoints, LineKind::Wave, 100, UpSide::Left},
                   {},
                   {}},
        HandEdited{"MagnificationClamped",
                   "[Main]\nMag=5000\n",
                   {PathKind::ThroughPoints, LineKind::Wave, 1000, UpSide::Left},
                   {},
                   {}},
        HandEdited{"MagnificationClampedFromBelow",
                   "[Main]\nMag=-3\n",
                   {PathKind::ThroughPoints, LineKind::Wave, 10, UpSide::Left},
                   {},
                   {}},
        HandEdited{"LengthsClampedBothWays",
                   "[Wave]\nWidth=0\nRadius=51\n[Zigzag]\nWidth=-4\nHeight=9999\n",
                   {},
                   {1, 50, 1, 50, 1, 200},
                   {1, 50, 1, 50, 1, 200}},
        HandEdited{
            "LayerClamped", "[Layer]\nNumber=0\n", {}, {5, 4, 5, 3, 1, 1}, {5, 4, 5, 3, 1, 1}},
        HandEdited{"LayerAboveRangeClamped",
                   "[Layer]\nNumber=5000000000\n",
                   {},
                   {5, 4, 5, 3, 1, 999999999},
                   {5, 4, 5, 3, 1, 999999999}},
        HandEdited{"ChangeOtherThanOneMeansNoChange",
                   "[Layer]\nChange=2\n",
                   {},
                   {5, 4, 5, 3, 0, 200},
                   {5, 4, 5, 3, 0, 200}},
        HandEdited{"ChangeOfMinusOneMeansNoChange",
                   "[Layer]\nChange=-1\n",
                   {},
                   {5, 4, 5, 3, 0, 200},
                   {5, 4, 5, 3, 0, 200}},
        HandEdited{"SmallRadiusIsNotAltered",
                   "[Wave]\nWidth=10\nRadius=2\n",
                   {},
                   {10, 2, 5, 3, 1, 200},
                   {10, 2, 5, 3, 1, 200}},
        HandEdited{"NonNumericReadsAsZeroThenClamps",
                   "[Wave]\nWidth=abc\n[Main]\nMag=x\n",
                   {PathKind::ThroughPoints, LineKind::Wave, 10, UpSide::Left},
                   {1, 4, 5, 3, 1, 200},
                   {1, 4, 5, 3, 1, 200}},
        HandEdited{"EmptyValuesGiveDefaults", "[Wave]\nWidth=\n[Layer]\nChange=\n", {}, {}, {}},
        HandEdited{"HandEditedCaseAndSpacing",
                   "[wave]\n  WIDTH = 8 \n[LAYER]\nchange=0\n",
                   {},
                   {8, 4, 5, 3, 0, 200},
                   {8, 4, 5, 3, 0, 200}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(SettingsFileTest, RandomSettingsRoundTripThroughEveryReader) {
    const unsigned seed = 777;
    std::mt19937 rng(seed);
    auto in = [&](std::int32_t lo, std::int32_t hi) {
        return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
    };
    for (int round = 0; round < 100; ++round) {
        const DialogSettings s{in(1, 50), in(1, 50), in(1, 50),
                               in(1, 50), in(0, 1),  in(1, 999999999)};
        ASSERT_TRUE(WriteDialogSettings(m_ini, s)) << "seed " << seed;
        const DialogSettings d = ReadDialogSettings(m_ini);
        const RunSettings r = ReadRunSettings(m_ini);
        EXPECT_EQ(d.WaveWidth, s.WaveWidth) << "seed " << seed << " round " << round;
        EXPECT_EQ(d.WaveRadius, s.WaveRadius) << "seed " << seed << " round " << round;
        EXPECT_EQ(d.ZigzagWidth, s.ZigzagWidth) << "seed " << seed << " round " << round;
        EXPECT_EQ(d.ZigzagHeight, s.ZigzagHeight) << "seed " << seed << " round " << round;
        EXPECT_EQ(d.LayerChange, s.LayerChange) << "seed " << seed << " round " << round;
        EXPECT_EQ(d.LayerNumber, s.LayerNumber) << "seed " << seed << " round " << round;
        EXPECT_EQ(r.WaveWidth, s.WaveWidth);
        EXPECT_EQ(r.WaveRadius, s.WaveRadius);
        EXPECT_EQ(r.ZigzagWidth, s.ZigzagWidth);
        EXPECT_EQ(r.ZigzagHeight, s.ZigzagHeight);
        EXPECT_EQ(r.LayerChange, s.LayerChange);
        EXPECT_EQ(r.LayerNumber, s.LayerNumber);

        const MainOptions o{static_cast<PathKind>(in(0, 2)), static_cast<LineKind>(in(0, 1)),
                            in(kMagMin, kMagMax), static_cast<UpSide>(in(0, 1))};
        ASSERT_TRUE(WriteMainOptions(m_ini, o)) << "seed " << seed;
        const MainOptions m = ReadMainOptions(m_ini);
        EXPECT_EQ(m.Poly, o.Poly) << "seed " << seed << " round " << round;
        EXPECT_EQ(m.Type, o.Type) << "seed " << seed << " round " << round;
        EXPECT_EQ(m.Mag, o.Mag) << "seed " << seed << " round " << round;
        EXPECT_EQ(m.Dir, o.Dir) << "seed " << seed << " round " << round;
    }
    const std::string text = ReadBytes(m_path);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4 + 6 + 4) << "keys were duplicated";
}

// The one radius rule against its meaning in real numbers (R >= W / 2), over the whole range the
// readers allow and beyond it, where doubling in 32 bits would overflow.
// A value the program never writes is named with the value the run uses instead.
struct NotedRow {
    const char* name;
    const char* content;
    std::vector<std::string> noted;  // parts the notes must hold, in order; none: no notes
};

void PrintTo(const NotedRow& row, std::ostream* out) { *out << row.name; }

class NotedRows : public SettingsFileTest, public ::testing::WithParamInterface<NotedRow> {};

TEST_P(NotedRows, HandEditedValuesAreNamedWithTheValueUsed) {
    WriteBytes(m_path, GetParam().content);
    const std::string notes = SettingsValueNotes(m_ini);
    if (GetParam().noted.empty()) {
        EXPECT_EQ(notes, "");
        return;
    }
    std::size_t at = 0;
    for (const std::string& part : GetParam().noted) {
        at = notes.find(part, at);
        ASSERT_NE(at, std::string::npos) << "\"" << part << "\" not in order in: " << notes;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NotedRows,
    ::testing::Values(
        NotedRow{"NoFile", "", {}},
        NotedRow{"WrittenByTheProgram",
                 "[Wave]\nWidth=5\nRadius=4\n[Zigzag]\nWidth=5\nHeight=3\n[Layer]\nChange=1\n"
                 "Number=200\n",
                 {}},
        NotedRow{"SpacesAndCaseAreFine", "[wave]\n  WIDTH = 8 \n", {}},
        NotedRow{"TextForAWidth", "[Wave]\nWidth=abc\n", {"[Wave] Width=abc", "1 を使います"}},
        NotedRow{
            "NumberWithTrailingText", "[Zigzag]\nHeight=4mm\n", {"[Zigzag] Height=4mm", "4 を"}},
        NotedRow{"PastTheRange",
                 "[Wave]\nRadius=51\n[Layer]\nNumber=0\n",
                 {"[Wave] Radius=51", "50 を使います", "[Layer] Number=0", "1 を使います"}},
        NotedRow{"ChangeNeitherZeroNorOne", "[Layer]\nChange=2\n", {"Change=2", "0 を使います"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(WaveRadiusRule, AgreesWithHalfTheWidthEverywhere) {
    const unsigned seed = 4242;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::int32_t> any(std::numeric_limits<std::int32_t>::min(),
                                                    std::numeric_limits<std::int32_t>::max());
    std::uniform_int_distribution<std::int32_t> length(kLengthMin, kLengthMax);
    for (int round = 0; round < 2000; ++round) {
        const bool small = round % 2 == 0;
        const std::int32_t radius = small ? length(rng) : any(rng);
        const std::int32_t width = small ? length(rng) : any(rng);
        EXPECT_EQ(WaveRadiusFits(radius, width),
                  static_cast<double>(radius) >= static_cast<double>(width) / 2.0)
            << "seed " << seed << " radius " << radius << " width " << width;
    }
    EXPECT_TRUE(WaveRadiusFits(3, 6));
    EXPECT_FALSE(WaveRadiusFits(2, 5));
    EXPECT_TRUE(WaveRadiusFits(std::numeric_limits<std::int32_t>::max(),
                               std::numeric_limits<std::int32_t>::max()));
}

// The board's keys: defaults when missing, only 1 turns fitting on and only 0 the preview off,
// and writing one leaves the main window's keys and the other as they were.
TEST_F(SettingsFileTest, BoardChoicesKeepTheirOwnKeys) {
    EXPECT_FALSE(ReadBoardChoices(m_ini).FitEnd);
    EXPECT_TRUE(ReadBoardChoices(m_ini).Preview);
    WriteBytes(m_path, "[Main]\nPoly=1\n[Board]\nFitEnd=2\nPreview=-1\n");
    EXPECT_FALSE(ReadBoardChoices(m_ini).FitEnd);
    EXPECT_TRUE(ReadBoardChoices(m_ini).Preview);
    ASSERT_TRUE(WriteFitEnd(m_ini, true));
    ASSERT_TRUE(WritePreview(m_ini, false));
    EXPECT_TRUE(ReadBoardChoices(m_ini).FitEnd);
    EXPECT_FALSE(ReadBoardChoices(m_ini).Preview);
    EXPECT_EQ(ReadBytes(m_path), "[Main]\nPoly=1\n[Board]\nFitEnd=1\nPreview=0\n");
    ASSERT_TRUE(WriteFitEnd(m_ini, false));
    EXPECT_EQ(ReadMainOptions(m_ini).Poly, PathKind::NearPoints);
    EXPECT_FALSE(ReadBoardChoices(m_ini).FitEnd);
    EXPECT_FALSE(ReadBoardChoices(m_ini).Preview);
}

// How often the board autosaves, as a hand-edited file may give it: 0 is off, numbers are brought
// into 1..120 minutes, a missing key is 5; AutosaveSeconds, when there, overrides the minutes.
TEST_F(SettingsFileTest, AutosaveIntervalIsOffOrInRange) {
    struct Row {
        const char* name;
        const char* file;
        std::int32_t minutes;
        std::int32_t seconds;
    };
    const Row rows[] = {
        {"missing file", nullptr, 5, 300},
        {"missing key", "[Board]\nFitEnd=1\n", 5, 300},
        {"empty value", "[Board]\nAutosaveMinutes=\n", 5, 300},
        {"off", "[Board]\nAutosaveMinutes=0\n", 0, 0},
        {"one", "[board]\nautosaveminutes=1\n", 1, 60},
        {"negative", "[Board]\nAutosaveMinutes=-3\n", 1, 60},
        {"two hours", "[Board]\nAutosaveMinutes=120\n", 120, 7200},
        {"too long", "[Board]\nAutosaveMinutes=100000\n", 120, 7200},
        {"seconds", "[Board]\nAutosaveMinutes=3\nAutosaveSeconds=2\n", 3, 2},
        {"seconds off", "[Board]\nAutosaveSeconds=0\n", 5, 0},
        {"seconds negative", "[Board]\nAutosaveSeconds=-1\n", 5, 1},
        {"seconds too long", "[Board]\nAutosaveSeconds=9999999\n", 5, 7200},
        {"seconds empty", "[Board]\nAutosaveMinutes=2\nAutosaveSeconds=\n", 2, 120},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.file != nullptr) WriteBytes(m_path, row.file);
        const BoardChoices choices = ReadBoardChoices(m_ini);
        EXPECT_EQ(choices.AutosaveMinutes, row.minutes);
        EXPECT_EQ(choices.AutosaveSeconds, row.seconds);
    }
}

}  // namespace
}  // namespace pelimator::settings
