// Command-line options: what each spelling sets, and the default output file.
#include "batch/options.h"

#include <gtest/gtest.h>

#include "batch/errors.h"

namespace pelimator::batch {
namespace {

BatchOptions Parse(std::vector<std::string> args) { return ParseOptions(args); }

TEST(BatchOptions, NamesAndIndicesMeanTheSame) {
    const auto byName = Parse({"--points", "p", "-o", "o", "--line", "zigzag", "--path", "near",
                               "--up", "right", "--mag", "250", "--scale", "1:50"});
    const auto byIndex = Parse(
        {"--points=p", "--output=o", "--line=1", "--path=1", "--up=1", "--mag=250", "--scale=50"});
    for (const BatchOptions& options : {byName, byIndex}) {
        EXPECT_EQ(options.source, PathSource::PointsFile);
        EXPECT_EQ(options.pointsFile, "p");
        EXPECT_EQ(options.output, "o");
        EXPECT_EQ(options.lineKind, settings::LineKind::Zigzag);
        EXPECT_EQ(options.pathKind, std::optional(settings::PathKind::NearPoints));
        EXPECT_EQ(options.up, settings::UpSide::Right);
        EXPECT_EQ(options.magnification, 250);
        EXPECT_EQ(options.scaleDenominator, 50);
        EXPECT_TRUE(options.scaleGiven);
    }
}

TEST(BatchOptions, DefaultsAreTheDrawingRunsAndLeftIsTrue) {
    const auto options = Parse({"--layers", "a,b", "--layers", "7", "in.dxf"});
    EXPECT_EQ(options.source, PathSource::Layers);
    EXPECT_EQ(options.layers, (std::vector<std::string>{"a", "b", "7"}));
    EXPECT_EQ(options.lineKind, settings::LineKind::Wave);
    EXPECT_FALSE(options.pathKind.has_value());
    EXPECT_EQ(options.up, settings::UpSide::Left);
    EXPECT_EQ(options.maxEntities, kDefaultEntityLimit);
    EXPECT_EQ(options.magnification, 100);
    EXPECT_FALSE(options.scaleGiven);
    EXPECT_FALSE(options.overwriteInput);
    EXPECT_FALSE(options.allowLoss);
    EXPECT_TRUE(Parse({"--allow-loss", "--layers", "a", "in.dxf"}).allowLoss);
}

TEST(BatchOptions, DoubleDashLetsAnInputStartWithADash) {
    EXPECT_EQ(Parse({"--points", "p", "--", "-odd.dxf"}).input, "-odd.dxf");
}

TEST(BatchOptions, HelpWinsOverEverythingElse) { EXPECT_TRUE(Parse({"--bogus", "-h"}).help); }

TEST(BatchOptions, MagnificationLimitsAreInclusive) {
    EXPECT_EQ(Parse({"--points", "p", "-o", "o", "--mag", "10"}).magnification, 10);
    EXPECT_EQ(Parse({"--points", "p", "-o", "o", "--mag", "1000"}).magnification, 1000);
    EXPECT_THROW(Parse({"--points", "p", "-o", "o", "--mag", "99999999999999999999"}), UsageError);
}

TEST(BatchOptions, EntityLimitIsAWholeNumberFromOne) {
    EXPECT_EQ(Parse({"--points", "p", "-o", "o", "--max-entities", "1"}).maxEntities, 1);
    EXPECT_EQ(Parse({"--points", "p", "-o", "o", "--max-entities=50000000000"}).maxEntities,
              50'000'000'000);
    for (const char* bad : {"0", "-5", "1e9", "", "many"}) {
        EXPECT_THROW(Parse({"--points", "p", "-o", "o", "--max-entities", bad}), UsageError) << bad;
    }
}

TEST(BatchOptions, TwoInputsAreRefused) {
    EXPECT_THROW(Parse({"--points", "p", "a.dxf", "b.dxf"}), UsageError);
    EXPECT_THROW(Parse({"--layers", "", "a.dxf"}), UsageError);
    EXPECT_THROW(Parse({"--layers", "a,", "a.dxf"}), UsageError);
    EXPECT_THROW(Parse({"--overwrite-input=yes", "--points", "p", "a.dxf"}), UsageError);
    EXPECT_THROW(Parse({"--allow-loss=yes", "--points", "p", "a.dxf"}), UsageError);
}

struct OutputRow {
    const char* name;
    const char* input;
    const char* output;
    const char* expected;
};

void PrintTo(const OutputRow& row, std::ostream* out) { *out << row.name; }

class OutputPath : public ::testing::TestWithParam<OutputRow> {};

TEST_P(OutputPath, BesideTheInputUnlessNamed) {
    BatchOptions options;
    options.input = GetParam().input;
    options.output = GetParam().output;
    EXPECT_EQ(OutputPathFor(options), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OutputPath,
    ::testing::Values(OutputRow{"DxfDropped", "dir/plan.dxf", "", "dir/plan-pelimator.dxf"},
                      OutputRow{"UpperCaseDxfDropped", "PLAN.DXF", "", "PLAN-pelimator.dxf"},
                      OutputRow{"OtherExtensionKept", "plan.txt", "", "plan.txt-pelimator.dxf"},
                      OutputRow{"DotInFolderOnly", "a.b/plan", "", "a.b/plan-pelimator.dxf"},
                      OutputRow{"HiddenFileKept", "dir/.dxf", "", "dir/.dxf-pelimator.dxf"},
                      OutputRow{"NamedOutputWins", "plan.dxf", "x.dxf", "x.dxf"}),
    [](const ::testing::TestParamInfo<OutputRow>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelimator::batch
