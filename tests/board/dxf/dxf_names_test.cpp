// Layer names and colours in DXF terms: decoding, making names DXF accepts, the colour index.
#include "board/dxf/dxf_names.h"

#include <ostream>
#include <random>

#include <gtest/gtest.h>

#include "board/dxf/dxf_colour.h"

namespace pelimator::board {
namespace {

struct SanitizeRow {
    const char* name;
    std::string input;
    std::string expected;
};
// Rows are named in test output.
void PrintTo(const SanitizeRow& row, std::ostream* os) { *os << row.name; }

class SanitizeLayerNameTest : public ::testing::TestWithParam<SanitizeRow> {};

TEST_P(SanitizeLayerNameTest, GivesANameDxfAccepts) {
    EXPECT_EQ(SanitizeLayerName(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SanitizeLayerNameTest,
    ::testing::Values(SanitizeRow{"Japanese", "波線レイヤ", "波線レイヤ"},
                      SanitizeRow{"ForbiddenCharacters", "a<b>c/d\\e\"f:g;h?i*j|k=l`m",
                                  "a_b_c_d_e_f_g_h_i_j_k_l_m"},
                      SanitizeRow{"ControlCharacters", "a\nb\tc", "a_b_c"},
                      SanitizeRow{"BlanksAtTheEnds", "  名前  ", "名前"},
                      SanitizeRow{"BrokenUtf8",
                                  "a\xff\xfe"
                                  "b",
                                  "a__b"},
                      SanitizeRow{"OnlyBlanks", "   ", ""},
                      SanitizeRow{
                          "CutOnACharacterBoundary",
                          std::string(200, 'x') + "あいうえおかきくけこさしすせそたちつてと",
                          std::string(200, 'x') + "あいうえおかきくけこさしすせそたちつ"}),
    [](const ::testing::TestParamInfo<SanitizeRow>& row) { return row.param.name; });

TEST(SanitizeLayerName, NeverLongerThanDxfAllowsAndAlwaysUtf8) {
    const std::uint64_t seed = 99;
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 2000; ++round) {
        std::string input(static_cast<std::size_t>(byte(random)) * 2, '\0');
        for (char& c : input) c = static_cast<char>(byte(random));
        const std::string name = SanitizeLayerName(input);
        ASSERT_LE(name.size(), 255U) << "seed " << seed << " round " << round;
        ASSERT_TRUE(IsValidUtf8(name)) << "seed " << seed << " round " << round;
        ASSERT_EQ(name.find_first_of("<>/\\\":;?*|=`\n\r"), std::string::npos);
    }
}

struct DecodeRow {
    const char* name;
    std::string raw;
    std::string version;
    std::string codePage;
    std::string expected;
};
// Rows are named in test output.
void PrintTo(const DecodeRow& row, std::ostream* os) { *os << row.name; }

class DecodeDxfStringTest : public ::testing::TestWithParam<DecodeRow> {};

TEST_P(DecodeDxfStringTest, GivesUtf8) {
    const DecodeRow& row = GetParam();
    EXPECT_EQ(DecodeDxfString(row.raw, row.version, row.codePage), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DecodeDxfStringTest,
    ::testing::Values(DecodeRow{"Utf8In2007", "波線", "AC1021", "ANSI_1252", "波線"},
                      DecodeRow{"ShiftJisIn2000", "\x94\x67\x90\xfc", "AC1015", "ANSI_932", "波線"},
                      DecodeRow{"Latin1In2000",
                                "Stra\xdf"
                                "e",
                                "AC1015", "ANSI_1252", "Straße"},
                      DecodeRow{"Utf8In2000KeptWhenValid", "波線", "AC1015", "ANSI_932", "波線"},
                      DecodeRow{"Escapes", "\\U+6CE2\\U+7DDA", "AC1015", "ANSI_1252", "波線"},
                      DecodeRow{"EscapeOfASurrogateKept", "\\U+D800", "AC1021", "", "\\U+D800"},
                      DecodeRow{"BadEscapeKept", "\\U+12G4", "AC1021", "", "\\U+12G4"},
                      DecodeRow{"InvalidBytesIn2007",
                                "a\xff"
                                "b",
                                "AC1021", "ANSI_932", "a?b"},
                      DecodeRow{"UnknownCodePage",
                                "a\xff"
                                "b",
                                "AC1015", "ANSI_9999", "a?b"}),
    [](const ::testing::TestParamInfo<DecodeRow>& row) { return row.param.name; });

TEST(DxfColour, PaletteColoursComeBackAsTheirOwnIndexColour) {
    for (std::int32_t aci = 1; aci <= 255; ++aci) {
        const Rgb colour = AciToRgb(aci);
        if (colour == Rgb{255, 255, 255}) continue;  // white and black share colour 7
        EXPECT_EQ(AciToRgb(NearestAci(colour)), colour) << "colour " << aci;
    }
}

TEST(DxfColour, SpecialIndexesAndPacking) {
    EXPECT_EQ(AciToRgb(7), (Rgb{0, 0, 0}));
    EXPECT_EQ(AciToRgb(-1), (Rgb{255, 0, 0})) << "a hidden layer keeps its colour";
    EXPECT_EQ(AciToRgb(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(AciToRgb(256), (Rgb{0, 0, 0}));
    EXPECT_EQ(NearestAci({0, 0, 0}), 7);
    EXPECT_EQ(NearestAci({255, 255, 255}), 7);
    EXPECT_EQ(NearestAci({250, 5, 5}), 1);
    EXPECT_EQ(PackRgb({0x12, 0x34, 0x56}), 0x123456);
    EXPECT_EQ(UnpackRgb(0x7F123456), (Rgb{0x12, 0x34, 0x56}));
}

}  // namespace
}  // namespace pelimator::board
