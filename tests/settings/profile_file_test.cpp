// Profile-file functions: lookup rules, byte-exact rewriting, name lists, atomic replacement.
#include "settings/profile_file.h"

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>
#include <ostream>
#include <random>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/system_error_text.h"
#include "support/temp_dir.h"

namespace pelimator::settings {
namespace {

using pelimator::testing::ReadBytes;
using pelimator::testing::TempDir;
using pelimator::testing::WriteBytes;
using namespace std::string_literals;
using namespace std::string_view_literals;

// ---- integer reads ----

struct IntRow {
    const char* name;
    std::string content;  // "<missing>" leaves the file absent
    const char* section;
    const char* key;
    std::int32_t expected;
};
// Rows are named in test output.
void PrintTo(const IntRow& row, std::ostream* os) { *os << row.name; }

class GetProfileIntRows : public ::testing::TestWithParam<IntRow> {};

TEST_P(GetProfileIntRows, ReadsTheLeadingNumberOrTheDefault) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    if (GetParam().content != "<missing>") WriteBytes(path, GetParam().content);
    EXPECT_EQ(GetProfileInt(GetParam().section, GetParam().key, -99, path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GetProfileIntRows,
    ::testing::Values(
        IntRow{"Plain", "[Wave]\nWidth=12\n", "Wave", "Width", 12},
        IntRow{"MissingFile", "<missing>", "Wave", "Width", -99},
        IntRow{"MissingSection", "[Zigzag]\nWidth=12\n", "Wave", "Width", -99},
        IntRow{"MissingKey", "[Wave]\nRadius=12\n", "Wave", "Width", -99},
        IntRow{"EmptyValueGivesDefault", "[Wave]\nWidth=\n", "Wave", "Width", -99},
        IntRow{"BlankValueGivesDefault", "[Wave]\nWidth=  \t\n", "Wave", "Width", -99},
        IntRow{"DigitsThenLetters", "[Wave]\nWidth=12abc\n", "Wave", "Width", 12},
        IntRow{"LettersOnlyGiveZero", "[Wave]\nWidth=abc\n", "Wave", "Width", 0},
        IntRow{"DecimalPointStopsTheNumber", "[Wave]\nWidth=7.9\n", "Wave", "Width", 7},
        IntRow{"LeadingBlanks", "[Wave]\nWidth=  \t 42\n", "Wave", "Width", 42},
        IntRow{"NegativeSign", "[Wave]\nWidth=-7\n", "Wave", "Width", -7},
        IntRow{"PlusSign", "[Wave]\nWidth=+8\n", "Wave", "Width", 8},
        IntRow{"SignOnlyGivesZero", "[Wave]\nWidth=-\n", "Wave", "Width", 0},
        IntRow{"SignThenBlankGivesZero", "[Wave]\nWidth=- 5\n", "Wave", "Width", 0},
        IntRow{"AboveInt32Saturates", "[Wave]\nWidth=99999999999999999999\n", "Wave", "Width",
               std::numeric_limits<std::int32_t>::max()},
        IntRow{"BelowInt32Saturates", "[Wave]\nWidth=-99999999999\n", "Wave", "Width",
               std::numeric_limits<std::int32_t>::min()},
        IntRow{"Int32MinExactly", "[Wave]\nWidth=-2147483648\n", "Wave", "Width",
               std::numeric_limits<std::int32_t>::min()},
        IntRow{"NamesIgnoreCase", "[wAVE]\nwIDTH=3\n", "WAVE", "width", 3},
        IntRow{"BlanksAroundNamesAndEquals", "  [ Wave ]  \n  Width \t=  9  \n", "Wave", "Width",
               9},
        IntRow{"CrLfFile", "[Wave]\r\nWidth=6\r\n", "Wave", "Width", 6},
        IntRow{"NoFinalLineEnd", "[Wave]\nWidth=6", "Wave", "Width", 6},
        IntRow{"KeyBeforeAnySectionIsNotInOne", "Width=4\n[Wave]\n", "Wave", "Width", -99},
        IntRow{"KeyOfAnotherSection", "[Wave]\n[Zigzag]\nWidth=4\n", "Wave", "Width", -99},
        IntRow{"CommentedOutKey", "[Wave]\n;Width=4\n#Width=5\n", "Wave", "Width", -99},
        IntRow{"FirstOfDuplicateKeys", "[Wave]\nWidth=1\nWIDTH=2\n", "Wave", "Width", 1},
        IntRow{"FirstOfDuplicateSections", "[Wave]\nA=1\n[wave]\nWidth=2\n", "Wave", "Width", -99},
        // As the classic functions read them: a "[" without "]" opens no section, a UTF-8
        // byte-order mark (Windows Notepad's) is not part of the first line, a CR alone ends a
        // line as LF and CRLF do.
        IntRow{"UnclosedBracketOpensNoSection", "[Wave\nWidth=3\n", "Wave", "Width", -99},
        IntRow{"UnclosedBracketLeavesTheSectionBefore", "[Wave]\n[Zig\nWidth=3\n", "Wave", "Width",
               3},
        IntRow{"Utf8MarkBeforeTheFirstSection", "\xEF\xBB\xBF[Wave]\nWidth=10\n", "Wave", "Width",
               10},
        IntRow{"Utf8MarkWithCrLf", "\xEF\xBB\xBF[Wave]\r\nWidth=11\r\n", "Wave", "Width", 11},
        IntRow{"CrOnlyLineEnds", "[Main]\rMag=150\r[Wave]\rWidth=7\rRadius=3\r", "Wave", "Width",
               7},
        IntRow{"CrOnlyWithoutFinalLineEnd", "[Wave]\rWidth=8", "Wave", "Width", 8},
        IntRow{"NulByteInFile", "[Wave]\nX=\0\nWidth=3\n"s, "Wave", "Width", 3},
        IntRow{"EmptyFile", "", "Wave", "Width", -99},
        // As the classic integer read: quotes stripped first, a 0x prefix read as hexadecimal.
        IntRow{"DoubleQuotedNumber", "[Main]\nMag=\"150\"\n", "Main", "Mag", 150},
        IntRow{"SingleQuotedNumber", "[Main]\nMag='42'\n", "Main", "Mag", 42},
        IntRow{"BlanksInsideQuotes", "[Main]\nMag=\" 7 \"\n", "Main", "Mag", 7},
        IntRow{"EmptyQuotesGiveDefault", "[Main]\nMag=\"\"\n", "Main", "Mag", -99},
        IntRow{"UnmatchedQuoteGivesZero", "[Main]\nMag=\"150\n", "Main", "Mag", 0},
        IntRow{"Hexadecimal", "[Wave]\nWidth=0x10\n", "Wave", "Width", 16},
        IntRow{"HexadecimalUpperCase", "[Wave]\nWidth=0X1F\n", "Wave", "Width", 31},
        IntRow{"HexadecimalNegative", "[Wave]\nWidth=-0x10\n", "Wave", "Width", -16},
        IntRow{"HexadecimalQuoted", "[Wave]\nWidth='0xff'\n", "Wave", "Width", 255},
        IntRow{"HexadecimalStopsAtNonDigit", "[Wave]\nWidth=0x1g\n", "Wave", "Width", 1},
        IntRow{"PrefixWithoutDigitsGivesZero", "[Wave]\nWidth=0x\n", "Wave", "Width", 0},
        IntRow{"HexadecimalSaturates", "[Wave]\nWidth=0x123456789\n", "Wave", "Width",
               std::numeric_limits<std::int32_t>::max()},
        IntRow{"LeadingZeroIsStillDecimal", "[Wave]\nWidth=010\n", "Wave", "Width", 10}),
    [](const auto& row) { return std::string(row.param.name); });

// ---- string reads ----

struct StringRow {
    const char* name;
    std::string content;
    const char* key;
    std::string expected;
};
// Rows are named in test output.
void PrintTo(const StringRow& row, std::ostream* os) { *os << row.name; }

class GetProfileStringRows : public ::testing::TestWithParam<StringRow> {};

TEST_P(GetProfileStringRows, DeliversTheValueBytesExactly) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteBytes(path, GetParam().content);
    EXPECT_EQ(GetProfileString("S", std::string_view(GetParam().key), "dflt", path),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, GetProfileStringRows,
    ::testing::Values(StringRow{"Plain", "[S]\nk=abc\n", "k", "abc"},
                      StringRow{"ShiftJisWithBackslashByte", "[S]\nk=\x95\x5c\x8e\xa6\n", "k",
                                "\x95\x5c\x8e\xa6"},
                      StringRow{"Utf8", "[S]\nk=波線 ジグザグ\n", "k", "波線 ジグザグ"},
                      StringRow{"HighBytesInNames", "[S]\n\xe6\xb3\xa2=1\n", "\xe6\xb3\xa2", "1"},
                      StringRow{"EmptyValueIsNotTheDefault", "[S]\nk=\n", "k", ""},
                      StringRow{"MissingKeyGivesDefault", "[S]\nj=1\n", "k", "dflt"},
                      StringRow{"EqualsInsideValue", "[S]\nk=a=b=c\n", "k", "a=b=c"},
                      StringRow{"InnerBlanksKept", "[S]\nk= a  b \n", "k", "a  b"},
                      StringRow{"DoubleQuotesStripped", "[S]\nk=\"x\"\n", "k", "x"},
                      StringRow{"SingleQuotesStripped", "[S]\nk='x y'\n", "k", "x y"},
                      StringRow{"BlanksInsideQuotesKept", "[S]\nk= \" x \" \n", "k", " x "},
                      StringRow{"OnlyOnePairStripped", "[S]\nk=\"\"x\"\"\n", "k", "\"x\""},
                      StringRow{"EmptyQuotesGiveEmpty", "[S]\nk=\"\"\n", "k", ""},
                      StringRow{"MismatchedQuotesKept", "[S]\nk=\"x'\n", "k", "\"x'"},
                      StringRow{"LoneQuoteKept", "[S]\nk=\"\n", "k", "\""},
                      StringRow{"QuotesInsideKept", "[S]\nk=a\"b\"\n", "k", "a\"b\""},
                      StringRow{"CrOfCrLfNotInValue", "[S]\r\nk=v\r\n", "k", "v"},
                      StringRow{"LoneCrEndsTheValue", "[S]\nk=v\rw\n", "k", "v"},
                      StringRow{"NulByteInValue", "[S]\nk=a\0b\n"s, "k", "a\0b"s}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(GetProfileString, LongValueAndLongDefaultAreCutToTheBuffer) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    const std::string longText(kProfileBufferSize + 100, 'x');
    WriteBytes(path, "[S]\nk=" + longText);
    EXPECT_EQ(GetProfileString("S", "k"sv, "", path).size(), kProfileBufferSize - 1);
    EXPECT_EQ(GetProfileString("S", "missing"sv, longText, path).size(), kProfileBufferSize - 1);
}

TEST(GetProfileString, DefaultLosesItsTrailingBlanksAndOnePairOfQuotes) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteBytes(path, "[S]\nk=1\n");
    EXPECT_EQ(GetProfileString("S", "missing"sv, " d e \t ", path), " d e");
    EXPECT_EQ(GetProfileString("S", "missing"sv, "  ", path), "");
    // As the classic string read delivers a default: like a value, its quotes taken off.
    EXPECT_EQ(GetProfileString("S", "missing"sv, "\"q \" ", dir.File("none.ini")), "q ");
    EXPECT_EQ(GetProfileString("S", "missing"sv, "'x'", path), "x");
    EXPECT_EQ(GetProfileString("S", "missing"sv, "\"x'", path), "\"x'");
}

TEST(GetProfileString, KeyListKeepsOrderAndDropsDuplicatesOfAnyCase) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteBytes(path, "[A]\nx=1\n; c=2\nY = 2\nnoise\nX=3\nz=\n[B]\nw=1\n");
    EXPECT_EQ(GetProfileString("a", std::nullopt, "", path), "x\0Y\0z\0\0"s);
    EXPECT_EQ(GetProfileString("C", std::nullopt, "", path), "\0\0"s);
    EXPECT_EQ(GetProfileString("A", std::nullopt, "", dir.File("none.ini")), "\0\0"s);
}

TEST(GetProfileSectionNames, ListsEachSectionOnceInFileOrder) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    WriteBytes(path, "k=1\n[Main]\n[ Wave ]\n[main]\n[]\n[Layer]");
    EXPECT_EQ(GetProfileSectionNames(path), "Main\0Wave\0Layer\0\0"s);
    EXPECT_EQ(GetProfileSectionNames(dir.File("none.ini")), "\0\0"s);
    WriteBytes(path, "no sections here\n");
    EXPECT_EQ(GetProfileSectionNames(path), "\0\0"s);
}

TEST(GetProfileSectionNames, LongListIsCutWithItsLastNameShortened) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    std::string content;
    for (int i = 0; i < 4000; ++i) content += "[section" + std::to_string(i) + "]\n";
    WriteBytes(path, content);
    const std::string list = GetProfileSectionNames(path);
    ASSERT_EQ(list.size(), kProfileBufferSize);
    EXPECT_EQ(list.substr(list.size() - 2), "\0\0"s);
    EXPECT_NE(list[list.size() - 3], '\0');
    EXPECT_EQ(list.substr(0, 10), "section0\0s"s);
}

// ---- writes ----

struct WriteRow {
    const char* name;
    std::string before;  // "<missing>" leaves the file absent
    ProfileChange change;
    std::string after;  // "<missing>" expects no file
};
// Rows are named in test output.
void PrintTo(const WriteRow& row, std::ostream* os) { *os << row.name; }

class WriteProfileRows : public ::testing::TestWithParam<WriteRow> {};

TEST_P(WriteProfileRows, ChangesOnlyWhatItMust) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    if (GetParam().before != "<missing>") WriteBytes(path, GetParam().before);
    const ProfileChange& c = GetParam().change;
    EXPECT_EQ(WriteProfileString(c.section, c.key, c.value, path), 1);
    if (GetParam().after == "<missing>") {
        EXPECT_FALSE(std::filesystem::exists(path));
    } else {
        EXPECT_EQ(ReadBytes(path), GetParam().after);
    }
    EXPECT_EQ(dir.EntryCount(), GetParam().after == "<missing>" ? 0U : 1U);
}

const std::string kHandEdited =
    "; Pelimator settings\n"
    "\n"
    "[Main]\n"
    "  poly =  1   \n"
    "Type=0\n"
    "\n"
    "# next comes the wave\n"
    "[WAVE]\n"
    "Width\t=\t5\n"
    "stray line\n"
    "Radius=3\n"
    "\n"
    "; layer below\n"
    "[Layer]\n"
    "Number=200";

INSTANTIATE_TEST_SUITE_P(
    Rows, WriteProfileRows,
    ::testing::Values(
        WriteRow{"CreatesTheFile", "<missing>", {"Wave", "Width", "6"}, "[Wave]\nWidth=6\n"},
        WriteRow{"ReplacesInPlaceKeepingSpacing",
                 kHandEdited,
                 {"main", "POLY", "2"},
                 "; Pelimator settings\n\n[Main]\n  poly =  2   \nType=0\n\n# next comes the "
                 "wave\n[WAVE]\nWidth\t=\t5\nstray line\nRadius=3\n\n; layer below\n[Layer]\n"
                 "Number=200"},
        WriteRow{"LongerValueInPlace",
                 kHandEdited,
                 {"Wave", "width", "123456"},
                 "; Pelimator settings\n\n[Main]\n  poly =  1   \nType=0\n\n# next comes the "
                 "wave\n[WAVE]\nWidth\t=\t123456\nstray line\nRadius=3\n\n; layer below\n[Layer]\n"
                 "Number=200"},
        WriteRow{"NewKeyAfterTheSectionsLastEntry",
                 kHandEdited,
                 {"Wave", "Mode", "x"},
                 "; Pelimator settings\n\n[Main]\n  poly =  1   \nType=0\n\n# next comes the "
                 "wave\n[WAVE]\nWidth\t=\t5\nstray line\nRadius=3\nMode=x\n\n; layer below\n"
                 "[Layer]\nNumber=200"},
        WriteRow{"NewKeyInLastSectionWithoutFinalLineEnd",
                 kHandEdited,
                 {"Layer", "Change", "1"},
                 "; Pelimator settings\n\n[Main]\n  poly =  1   \nType=0\n\n# next comes the "
                 "wave\n[WAVE]\nWidth\t=\t5\nstray line\nRadius=3\n\n; layer below\n[Layer]\n"
                 "Number=200\nChange=1\n"},
        WriteRow{"NewSectionAtTheEnd", "[A]\nx=1\n", {"B", "y", "2"}, "[A]\nx=1\n[B]\ny=2\n"},
        WriteRow{"NewKeyInEmptySection", "[A]\n\n[B]\n", {"A", "k", "v"}, "[A]\nk=v\n\n[B]\n"},
        WriteRow{"EmptyValueReplaced", "[A]\nk=\nj=1\n", {"A", "k", "5"}, "[A]\nk=5\nj=1\n"},
        WriteRow{"BlankValueReplaced", "[A]\nk =  \n", {"A", "k", "5"}, "[A]\nk =  5\n"},
        WriteRow{"CrLfKeptOnReplace", "[A]\r\nk=1\r\n", {"A", "k", "2"}, "[A]\r\nk=2\r\n"},
        WriteRow{
            "CrLfUsedForNewLines", "[A]\r\nk=1", {"B", "j", "2"}, "[A]\r\nk=1\r\n[B]\r\nj=2\r\n"},
        WriteRow{"BytesKeptExactly",
                 "[A]\nk=1\n",
                 {"A", "k", "\x95\x5c\xe6\xb3\xa2"},
                 "[A]\nk=\x95\x5c\xe6\xb3\xa2\n"},
        WriteRow{"OnlyTheFirstDuplicateKeyChanges",
                 "[A]\nk=1\nK=2\n",
                 {"A", "k", "3"},
                 "[A]\nk=3\nK=2\n"},
        WriteRow{"DeleteKey", "[A]\nj=0\nk=1\n; c\n", {"A", "K", std::nullopt}, "[A]\nj=0\n; c\n"},
        WriteRow{
            "DeleteMissingKeyChangesNothing", "[A]\nj=0", {"A", "k", std::nullopt}, "[A]\nj=0"},
        WriteRow{"DeleteFromMissingFileCreatesNothing",
                 "<missing>",
                 {"A", "k", std::nullopt},
                 "<missing>"},
        WriteRow{"DeleteSectionKeepsTheNextSectionsComment",
                 "[A]\nx=1\n;in A\ny=2\n\n;about B\n[B]\nz=3\n",
                 {"a", std::nullopt, std::nullopt},
                 "\n;about B\n[B]\nz=3\n"},
        WriteRow{"DeleteSectionRemovesEveryDuplicate",
                 "[A]\nx=1\n[B]\n[a]\ny=2\n",
                 {"A", std::nullopt, std::nullopt},
                 "[B]\n"},
        WriteRow{"DeleteMissingSectionChangesNothing",
                 "[A]\nx=1\n",
                 {"Q", std::nullopt, std::nullopt},
                 "[A]\nx=1\n"},
        WriteRow{"SameValueLeavesFileAlone", "[A]\nk = 1 \n", {"A", "k", "1"}, "[A]\nk = 1 \n"},
        // Blanks at either end of a value are dropped when written, as they are when read.
        WriteRow{"LeadingBlanksDropped", "[A]\nk=1\n", {"A", "k", "  150"}, "[A]\nk=150\n"},
        WriteRow{"TrailingTabDropped", "[A]\nk=1\n", {"A", "k", "1\t"}, "[A]\nk=1\n"},
        WriteRow{"BlanksAtBothEndsDropped", "<missing>", {"A", "k", " a b \t"}, "[A]\nk=a b\n"},
        WriteRow{"OnlyBlanksWriteEmpty", "[A]\nk=1\n", {"A", "k", " \t "}, "[A]\nk=\n"},
        WriteRow{"QuotesWrittenAsGiven", "[A]\nk=1\n", {"A", "k", "\" x \""}, "[A]\nk=\" x \"\n"},
        // A byte-order mark stays in front, and the section behind it is the one written.
        WriteRow{"Utf8MarkKeptAndItsSectionWritten",
                 "\xEF\xBB\xBF[Wave]\r\nWidth=5\r\n",
                 {"Wave", "Width", "10"},
                 "\xEF\xBB\xBF[Wave]\r\nWidth=10\r\n"},
        WriteRow{"Utf8MarkKeptOnANewKeyOfTheFirstSection",
                 "\xEF\xBB\xBF[Wave]\nWidth=5\n",
                 {"wave", "Radius", "3"},
                 "\xEF\xBB\xBF[Wave]\nWidth=5\nRadius=3\n"},
        WriteRow{"CrOnlyFileKeepsItsLineEnds",
                 "[Wave]\rWidth=5\r[Layer]\rNumber=1",
                 {"Wave", "Radius", "3"},
                 "[Wave]\rWidth=5\rRadius=3\r[Layer]\rNumber=1"},
        WriteRow{"CrOnlyFileReplacedInPlace",
                 "[Wave]\rWidth=5\r",
                 {"wave", "width", "9"},
                 "[Wave]\rWidth=9\r"},
        WriteRow{"UnclosedBracketIsNoSection",
                 "[Wave\nWidth=3\n",
                 {"Wave", "Width", "4"},
                 "[Wave\nWidth=3\n[Wave]\nWidth=4\n"},
        // No key: the section goes, whatever value comes with it (as the classic write does).
        WriteRow{"ValueWithoutKeyDeletesTheSection",
                 "[A]\nx=1\n[B]\ny=2\n",
                 {"a", std::nullopt, "1"},
                 "[B]\ny=2\n"}),
    [](const auto& row) { return std::string(row.param.name); });

struct RefusedRow {
    const char* name;
    ProfileChange change;
};
// Rows are named in test output.
void PrintTo(const RefusedRow& row, std::ostream* os) { *os << row.name; }

class RefusedChanges : public ::testing::TestWithParam<RefusedRow> {};

TEST_P(RefusedChanges, FailWithoutTouchingTheFile) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    const std::string before = "[A]\nk=1\n";
    WriteBytes(path, before);
    const ProfileChange& c = GetParam().change;
    EXPECT_EQ(WriteProfileString(c.section, c.key, c.value, path), 0);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(dir.EntryCount(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Rows, RefusedChanges,
                         ::testing::Values(RefusedRow{"LineFeedInValue", {"A", "k", "1\n[B]\nx=2"}},
                                           RefusedRow{"CarriageReturnInValue", {"A", "k", "1\r"}},
                                           RefusedRow{"NulInValue", {"A", "k", "1\0"sv}},
                                           RefusedRow{"EqualsInKey", {"A", "k=j", "1"}},
                                           RefusedRow{"BlankKey", {"A", "  ", "1"}},
                                           RefusedRow{"KeyLooksLikeSection", {"A", "[B]", "1"}},
                                           RefusedRow{"KeyLooksLikeComment", {"A", ";k", "1"}},
                                           RefusedRow{"LineFeedInKey", {"A", "k\nj", "1"}},
                                           RefusedRow{"BracketInSection", {"A]x", "k", "1"}},
                                           RefusedRow{"LineFeedInSection", {"A\n", "k", "1"}}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(WriteProfileChanges, OneRefusedChangeFailsTheWholeCall) {
    TempDir dir;
    const std::string path = dir.File("a.ini");
    const ProfileChange changes[] = {{"A", "k", "1"}, {"A", "j", "bad\n"}};
    EXPECT_EQ(WriteProfileChanges(changes, path), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(WriteProfileString, EmptyPathOrUnreadableFileFails) {
    TempDir dir;
    EXPECT_EQ(WriteProfileString("A", "k"sv, "1"sv, ""), 0);
    const std::string asDir = dir.File("is_a_dir.ini");
    std::filesystem::create_directory(asDir);
    EXPECT_EQ(WriteProfileString("A", "k"sv, "1"sv, asDir), 0);
    EXPECT_EQ(GetProfileInt("A", "k", 7, asDir), 7);
    EXPECT_TRUE(std::filesystem::is_directory(asDir));
}

// A file over the size limit is no settings file: reads give their defaults, writes fail with
// the file and the limit named, and the file is left as it is.
TEST(ProfileFile, AFileOverTheLimitIsRefusedWithItsNameAndTheLimit) {
    TempDir dir;
    const std::string path = dir.File("Korvane.ini");
    WriteBytes(path, "[Wave]\nWidth=9\n");
    std::filesystem::resize_file(path, kMaxProfileBytes + 1);
    EXPECT_EQ(GetProfileInt("Wave", "Width", 5, path), 5);
    const std::string problem = ProfileReadProblem(path);
    EXPECT_NE(problem.find("Korvane.ini"), std::string::npos) << problem;
    EXPECT_NE(problem.find("64 MB"), std::string::npos) << problem;
    EXPECT_EQ(WriteProfileString("Wave", "Width"sv, "6"sv, path), 0);
    EXPECT_EQ(LastProfileWriteError(), problem);
    EXPECT_EQ(std::filesystem::file_size(path), kMaxProfileBytes + 1);
    EXPECT_EQ(ProfileReadProblem(dir.File("missing.ini")), "");
    EXPECT_EQ(WriteProfileString("Wave", "Width"sv, "6"sv, dir.File("new.ini")), 1);
    EXPECT_EQ(LastProfileWriteError(), "");
}

// A UTF-16 file (as some Windows editors save "Unicode"), with or without its byte-order mark,
// is refused by name: its names would never match and every value would silently be its
// default. Writes leave it as it is. A UTF-8 file with its mark is read as ever.
TEST(ProfileFile, AUtf16FileIsRefusedByName) {
    // "[Wave]\nWidth=9\n" in UTF-16, little- and big-endian.
    const std::string text = "[Wave]\nWidth=9\n";
    std::string little;
    std::string big;
    for (const char c : text) {
        little += c;
        little += '\0';
        big += '\0';
        big += c;
    }
    struct Row {
        const char* name;
        std::string bytes;
        bool refused;
    };
    const Row rows[] = {
        {"UTF-16LE with its mark", "\xFF\xFE" + little, true},
        {"UTF-16BE with its mark", "\xFE\xFF" + big, true},
        {"UTF-16LE without a mark", little, true},
        {"UTF-16BE without a mark", big, true},
        {"UTF-8 with its mark", "\xEF\xBB\xBF" + text, false},
        {"UTF-8", text, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string path = dir.File("Korvane.ini");
        WriteBytes(path, row.bytes);
        const std::string problem = ProfileReadProblem(path);
        EXPECT_EQ(GetProfileInt("Wave", "Width", 5, path), row.refused ? 5 : 9);
        if (!row.refused) {
            EXPECT_EQ(problem, "");
            continue;
        }
        EXPECT_NE(problem.find("Korvane.ini"), std::string::npos) << problem;
        EXPECT_NE(problem.find("UTF-16"), std::string::npos) << problem;
        EXPECT_EQ(WriteProfileString("Wave", "Width"sv, "6"sv, path), 0);
        EXPECT_EQ(LastProfileWriteError(), problem);
        EXPECT_EQ(ReadBytes(path), row.bytes);
    }
}

TEST(WriteProfileString, ANamedPipeIsNeitherWaitedForNorReplaced) {
    TempDir dir;
    const std::string fifo = dir.File("Korvane.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(GetProfileInt("A", "k", 7, fifo), 7);  // returns at once: nobody writes the pipe
    EXPECT_EQ(GetProfileString("A", "k"sv, "d", fifo), "d");
    EXPECT_EQ(WriteProfileString("A", "k"sv, "1"sv, fifo), 0);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(dir.EntryCount(), 1U);
}

TEST(WriteProfileString, KeepsPermissionsAndFollowsSymbolicLinks) {
    TempDir dir;
    const std::string target = dir.File("real.ini");
    const std::string link = dir.File("link.ini");
    WriteBytes(target, "[A]\nk=1\n");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    std::filesystem::create_symlink(target, link);
    EXPECT_EQ(WriteProfileString("A", "k"sv, "2"sv, link), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(target), "[A]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640U);
    EXPECT_EQ(dir.EntryCount(), 2U);
}

// ---- interrupted writes ----

class InterruptedWrite : public ::testing::Test {
protected:
    void SetUp() override { WriteBytes(m_path, m_before); }
    void TearDown() override { SetProfileWriteHooks({}); }

    void ExpectOldFileIntact() {
        EXPECT_EQ(ReadBytes(m_path), m_before);
        EXPECT_EQ(m_dir.EntryCount(), 1U) << "a temporary file was left behind";
    }

    TempDir m_dir;
    std::string m_path = m_dir.File("Korvane.ini");
    std::string m_before = "[Wave]\nWidth=5\nRadius=3\n";
};

TEST_F(InterruptedWrite, FailureBeforeTheRenameLeavesTheOldFile) {
    std::string seenTemp;
    SetProfileWriteHooks({{}, [&](const std::string& tempPath) {
                              seenTemp = ReadBytes(tempPath);
                              EXPECT_EQ(ReadBytes(m_path), m_before);
                              return false;
                          }});
    EXPECT_EQ(WriteProfileString("Wave", "Width"sv, "9"sv, m_path), 0);
    EXPECT_EQ(seenTemp, "[Wave]\nWidth=9\nRadius=3\n") << "the temporary file was incomplete";
    ExpectOldFileIntact();
}

TEST_F(InterruptedWrite, DiskFullAfterAPartialWriteLeavesTheOldFile) {
    int calls = 0;
    SetProfileWriteHooks({[&](int, const char*, std::size_t size) -> long {
                              if (++calls == 1) return static_cast<long>(size / 2);
                              errno = ENOSPC;
                              return -1;
                          },
                          {}});
    EXPECT_EQ(WriteProfileString("Wave", "Width"sv, "9"sv, m_path), 0);
    EXPECT_EQ(calls, 2);
    ExpectOldFileIntact();
    // Why, as the system said it: for the message the user sees.
    EXPECT_NE(LastProfileWriteError().find(SystemErrorText(ENOSPC)), std::string::npos)
        << LastProfileWriteError();
    EXPECT_NE(LastProfileWriteError().find("Korvane.ini"), std::string::npos);
}

TEST_F(InterruptedWrite, WriteReportingNoProgressFails) {
    SetProfileWriteHooks({[](int, const char*, std::size_t) -> long { return 0; }, {}});
    EXPECT_EQ(WriteProfileString("Wave", "Width"sv, "9"sv, m_path), 0);
    ExpectOldFileIntact();
}

// ---- property: random edits against a model ----

struct ModelKey {
    std::string section;
    std::string key;
    bool operator<(const ModelKey& o) const {
        return std::tie(section, key) < std::tie(o.section, o.key);
    }
};

TEST(ProfileProperty, RandomEditsAgreeWithAModel) {
    const unsigned seed = 20261207;
    std::mt19937 rng(seed);
    TempDir dir;
    const std::string path = dir.File("model.ini");
    WriteBytes(path, "; header comment\r\n\r\n");
    const std::vector<std::string> sections = {"main", "wave", "zigzag", "layer"};
    const std::vector<std::string> keys = {"poly", "width", "radius", "number"};
    std::map<ModelKey, std::string> model;  // names in lower case
    auto pick = [&](const std::vector<std::string>& from) {
        std::string name = from[rng() % from.size()];
        for (char& c : name) {
            if (rng() % 2 == 0) c = static_cast<char>(c - 32);  // random letter case
        }
        return name;
    };
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    for (int step = 0; step < 400; ++step) {
        const std::string section = pick(sections);
        const std::string key = pick(keys);
        const unsigned op = rng() % 10;
        if (op < 7) {
            const std::string value = std::to_string(static_cast<int>(rng() % 2000) - 1000);
            ASSERT_EQ(WriteProfileString(section, key, value, path), 1) << "seed " << seed;
            model[{lower(section), lower(key)}] = value;
        } else if (op < 9) {
            ASSERT_EQ(WriteProfileString(section, key, std::nullopt, path), 1) << "seed " << seed;
            model.erase({lower(section), lower(key)});
        } else {
            ASSERT_EQ(WriteProfileString(section, std::nullopt, std::nullopt, path), 1);
            std::erase_if(model, [&](const auto& e) { return e.first.section == lower(section); });
        }
        for (const std::string& s : sections) {
            for (const std::string& k : keys) {
                const auto it = model.find({s, k});
                const std::int32_t expected = it == model.end() ? -5000 : std::stoi(it->second);
                ASSERT_EQ(GetProfileInt(s, k, -5000, path), expected)
                    << "seed " << seed << " step " << step << " " << s << "/" << k;
            }
        }
    }
    const std::string text = ReadBytes(path);
    EXPECT_EQ(text.rfind("; header comment\r\n\r\n", 0), 0U);
    EXPECT_EQ(text.find("\r\n\n"), std::string::npos) << "line ends were mixed";
}

TEST(ProfileProperty, WritingIntoRandomFilesKeepsEveryOtherValue) {
    const unsigned seed = 4242;
    std::mt19937 rng(seed);
    const std::string alphabet =
        "[]=; \t\r\nabAB#\x95\x5c"
        "0";
    TempDir dir;
    const std::string path = dir.File("noise.ini");
    for (int round = 0; round < 200; ++round) {
        std::string content;
        const std::size_t length = rng() % 200;
        for (std::size_t i = 0; i < length; ++i) content += alphabet[rng() % alphabet.size()];
        WriteBytes(path, content);
        const std::string keysBefore = GetProfileString("a", std::nullopt, "", path);
        std::map<std::string, std::string> before;
        for (const char* k : {"a", "b", "B", "ab"}) before[k] = GetProfileString("a", k, "~", path);
        const std::string other = GetProfileString("b", "a"sv, "~", path);

        ASSERT_EQ(WriteProfileString("a", "new key"sv, "v"sv, path), 1)
            << "seed " << seed << " round " << round;
        EXPECT_EQ(GetProfileString("a", "NEW KEY"sv, "~", path), "v") << "seed " << seed;
        for (const auto& [k, v] : before) {
            EXPECT_EQ(GetProfileString("a", k, "~", path), v) << "seed " << seed << " " << k;
        }
        EXPECT_EQ(GetProfileString("b", "a"sv, "~", path), other) << "seed " << seed;
        const std::string keysAfter = GetProfileString("a", std::nullopt, "", path);
        const std::string listed =
            keysBefore == "\0\0"s ? ""s : keysBefore.substr(0, keysBefore.size() - 1);
        EXPECT_EQ(keysAfter, listed + "new key\0\0"s) << "seed " << seed << " round " << round;
    }
}

}  // namespace
}  // namespace pelimator::settings
