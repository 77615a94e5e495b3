// clsIniEdit: its own rules over the profile functions, name arrays, and shared files.
#include "settings/ini_edit.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace pelimator::settings {
namespace {

using pelimator::testing::ReadBytes;
using pelimator::testing::TempDir;
using pelimator::testing::WriteBytes;
using namespace std::string_literals;

class IniEditTest : public ::testing::Test {
protected:
    IniEditTest() { m_ini.IniFilePath(m_path); }
    void TearDown() override { SetProfileWriteHooks({}); }

    TempDir m_dir;
    std::string m_path = m_dir.File("Korvane.ini");
    clsIniEdit m_ini;
};

TEST_F(IniEditTest, WithNoFileReadsGiveDefaultsAndTheFirstWriteCreatesIt) {
    EXPECT_EQ(m_ini.IniFilePath(), m_path);
    EXPECT_EQ(m_ini.GetInt("Wave", "Width", 5), 5);
    EXPECT_EQ(m_ini.GetString("Wave", "Width", "five"), "five");
    std::array<std::string, 2> names{"keep0", "keep1"};
    EXPECT_EQ(m_ini.GetSectionNames(names), 0);
    EXPECT_EQ(m_ini.GetKeyNames("Wave", names), 0);
    EXPECT_EQ(names[0], "keep0");
    EXPECT_FALSE(std::filesystem::exists(m_path));
    EXPECT_NE(m_ini.WriteString("Wave", "Width", "6"), 0);
    EXPECT_EQ(ReadBytes(m_path), "[Wave]\nWidth=6\n");
}

struct RefusedWrite {
    const char* name;
    const char* key;
    const char* value;
};

// Failures name the row instead of dumping its bytes.
void PrintTo(const RefusedWrite& row, std::ostream* out) { *out << row.name; }

class IniEditRefusedWrite : public IniEditTest,
                            public ::testing::WithParamInterface<RefusedWrite> {};

TEST_P(IniEditRefusedWrite, WritesNothingAndGivesZero) {
    WriteBytes(m_path, "[Wave]\nWidth=5\n");
    EXPECT_EQ(m_ini.WriteString("Wave", GetParam().key, GetParam().value), 0);
    EXPECT_EQ(ReadBytes(m_path), "[Wave]\nWidth=5\n");
}

INSTANTIATE_TEST_SUITE_P(Rows, IniEditRefusedWrite,
                         ::testing::Values(RefusedWrite{"EmptyValue", "Width", ""},
                                           RefusedWrite{"EmptyKey", "", "6"},
                                           RefusedWrite{"BothEmpty", "", ""},
                                           RefusedWrite{"ValueWithLineBreak", "Width", "6\nX=1"}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(IniEditTest, ValuesWithBlanksOrQuotesReadBackAsTheClassicFunctionsReadThem) {
    const struct {
        const char* written;
        const char* read;
        std::int32_t number;
    } rows[] = {
        {" 150", "150", 150},     {"150 \t", "150", 150}, {"\"150\"", "150", 150},
        {" '0x20' ", "0x20", 32}, {"\"a b\"", "a b", 0},  {"'\"'", "\"", 0},
    };
    for (const auto& row : rows) {
        ASSERT_NE(m_ini.WriteString("Main", "Mag", row.written), 0) << row.written;
        EXPECT_EQ(m_ini.GetString("Main", "Mag", "~"), row.read) << row.written;
        EXPECT_EQ(m_ini.GetInt("Main", "Mag", -1), row.number) << row.written;
    }
}

TEST_F(IniEditTest, EmptyKeyNeverRemovesASection) {
    WriteBytes(m_path, "[Wave]\nWidth=5\n");
    EXPECT_EQ(m_ini.DeleteKey("Wave", ""), 0);
    EXPECT_EQ(ReadBytes(m_path), "[Wave]\nWidth=5\n");
}

TEST_F(IniEditTest, DeleteKeyAndDeleteSection) {
    WriteBytes(m_path, "[A]\nx=1\ny=2\n[B]\nz=3\n");
    EXPECT_NE(m_ini.DeleteKey("a", "X"), 0);
    EXPECT_EQ(m_ini.GetString("A", "x", "-"), "-");
    EXPECT_EQ(m_ini.GetString("A", "y", "-"), "2");
    EXPECT_NE(m_ini.DeleteSection("b"), 0);
    EXPECT_EQ(ReadBytes(m_path), "[A]\ny=2\n");
}

TEST_F(IniEditTest, GetStringAndGetIntFollowTheValueRules) {
    WriteBytes(m_path, "[S]\nmixed=12ab\nletters=ab\nsjis=\x95\x5c\x8e\xa6\nempty=\n");
    EXPECT_EQ(m_ini.GetInt("S", "mixed", -1), 12);
    EXPECT_EQ(m_ini.GetInt("S", "letters", -1), 0);
    EXPECT_EQ(m_ini.GetInt("S", "empty", -1), -1);
    EXPECT_EQ(m_ini.GetString("S", "sjis", ""), "\x95\x5c\x8e\xa6");
    EXPECT_EQ(m_ini.GetString("S", "empty", "d"), "");
}

TEST_F(IniEditTest, NameArraysAreFilledFromTheFrontAndNeverResized) {
    WriteBytes(m_path, "[A]\nk1=1\nk2=2\nk3=3\n[B]\n[C]\n");
    std::array<std::string, 2> two;
    EXPECT_EQ(m_ini.GetKeyNames("A", two), 2);
    EXPECT_EQ(two[0], "k1");
    EXPECT_EQ(two[1], "k2");

    std::array<std::string, 5> five{"", "", "", "old3", "old4"};
    EXPECT_EQ(m_ini.GetSectionNames(five), 3);
    EXPECT_EQ(five[0], "A");
    EXPECT_EQ(five[2], "C");
    EXPECT_EQ(five[3], "old3") << "an element past the last name was overwritten";

    std::array<std::string, 0> none;
    EXPECT_EQ(m_ini.GetSectionNames(none), 0);
}

TEST_F(IniEditTest, SectionsWithoutNamesLeaveTheArrayAlone) {
    WriteBytes(m_path, "just=text\nno sections\n");
    std::array<std::string, 2> names{"a", "b"};
    EXPECT_EQ(m_ini.GetSectionNames(names), 0);
    EXPECT_EQ(names[0], "a");
    EXPECT_EQ(m_ini.GetKeyNames("Empty", names), 0);
}

TEST_F(IniEditTest, OverlongKeyNameArrivesCut) {
    const std::string huge(kProfileBufferSize + 10, 'k');
    WriteBytes(m_path, "[A]\n" + huge + "=1\n");
    std::array<std::string, 2> names{"", "untouched"};
    EXPECT_EQ(m_ini.GetKeyNames("A", names), 1);
    EXPECT_EQ(names[0].size(), kProfileBufferSize - 2);
    EXPECT_EQ(names[1], "untouched");
}

TEST_F(IniEditTest, TwoObjectsOnOneFileSeeEachOthersWrites) {
    clsIniEdit other;
    other.IniFilePath(m_path);
    EXPECT_NE(m_ini.WriteString("Layer", "Number", "300"), 0);
    EXPECT_EQ(other.GetInt("Layer", "Number", 200), 300);
    EXPECT_NE(other.WriteString("layer", "NUMBER", "400"), 0);
    EXPECT_EQ(m_ini.GetInt("Layer", "Number", 200), 400);
    EXPECT_NE(other.DeleteSection("Layer"), 0);
    EXPECT_EQ(m_ini.GetInt("Layer", "Number", 200), 200);
}

TEST_F(IniEditTest, InterruptedWriteLeavesTheOldFileAndGivesZero) {
    WriteBytes(m_path, "[Wave]\nWidth=5\n");
    SetProfileWriteHooks({{}, [](const std::string&) { return false; }});
    EXPECT_EQ(m_ini.WriteString("Wave", "Width", "7"), 0);
    EXPECT_EQ(m_ini.DeleteKey("Wave", "Width"), 0);
    EXPECT_EQ(m_ini.DeleteSection("Wave"), 0);
    EXPECT_EQ(ReadBytes(m_path), "[Wave]\nWidth=5\n");
    EXPECT_EQ(m_dir.EntryCount(), 1U);
}

TEST_F(IniEditTest, WriteStringsIsAllOrNothing) {
    WriteBytes(m_path, "[Wave]\nWidth=5\nRadius=3\n");
    const std::array<ProfileChange, 2> pair{{{"Wave", "Width", "10"}, {"Wave", "Radius", "5"}}};
    SetProfileWriteHooks({{}, [](const std::string&) { return false; }});
    EXPECT_EQ(m_ini.WriteStrings(pair), 0);
    EXPECT_EQ(ReadBytes(m_path), "[Wave]\nWidth=5\nRadius=3\n");
    SetProfileWriteHooks({});
    EXPECT_NE(m_ini.WriteStrings(pair), 0);
    EXPECT_EQ(ReadBytes(m_path), "[Wave]\nWidth=10\nRadius=5\n");

    const std::array<ProfileChange, 2> withEmpty{{{"Wave", "Width", "11"}, {"Wave", "Radius", ""}}};
    EXPECT_EQ(m_ini.WriteStrings(withEmpty), 0);
    const std::array<ProfileChange, 1> deletion{{{"Wave", "Width", std::nullopt}}};
    EXPECT_EQ(m_ini.WriteStrings(deletion), 0);
    EXPECT_EQ(ReadBytes(m_path), "[Wave]\nWidth=10\nRadius=5\n");
}

TEST(IniEditNoPath, ReadsGiveDefaultsAndWritesFail) {
    clsIniEdit ini;
    EXPECT_EQ(ini.IniFilePath(), "");
    EXPECT_EQ(ini.GetInt("A", "k", 3), 3);
    EXPECT_EQ(ini.GetString("A", "k", "d"), "d");
    EXPECT_EQ(ini.WriteString("A", "k", "1"), 0);
    EXPECT_EQ(ini.DeleteSection("A"), 0);
}

}  // namespace
}  // namespace pelimator::settings
