// One line from picks to entities: scale, magnification, layer choice and refusals.
#include "line/line_run.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <ostream>
#include <random>

#include <gtest/gtest.h>

#include "geometry/calc.h"
#include "support/fake_host.h"

namespace pelimator {
namespace {

using fake::EntityState;

class LineRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        M_Calc::InitPi();
        document = factory.Application()->GetDocuments()->Put("図面");
    }

    LineResult Draw(std::vector<std::pair<double, double>> points, const LineOptions& options,
                    const settings::RunSettings& settings = {}) {
        auto picks = factory.MakePointList(std::move(points));
        return DrawLine(factory, *document, *picks, options, settings, [](std::string_view) {});
    }

    [[nodiscard]] std::vector<EntityState> Entities() const {
        return document->GetDrawing()->Snapshot();
    }

    static LineOptions Options(int lineKind, std::int32_t magnification = 100) {
        LineOptions options;
        options.pathKind = settings::PathKind::Polyline;
        options.lineKind = lineKind == 0 ? settings::LineKind::Wave : settings::LineKind::Zigzag;
        options.magnification = magnification;
        return options;
    }

    fake::FakeFactory factory;
    fake::FakeDocumentPtr document;
};

TEST_F(LineRunTest, ScaleAndMagnificationSetPitchChordAndRadius) {
    // 1:100 at 50 %: a 5 mm width is 250 drawing units, a 4 mm radius 200.
    document->GetScale()->Put(1, 100);
    const LineResult result = Draw({{0, 0}, {1000, 0}}, Options(0, 50));
    const auto arcs = Entities();
    ASSERT_EQ(arcs.size(), 4U);
    EXPECT_EQ(result.entities, 4);
    EXPECT_EQ(result.pathPoints, 5);
    for (const auto& arc : arcs) {
        EXPECT_NEAR(std::hypot(arc.endX - arc.startX, arc.endY - arc.startY), 250.0, 1e-9);
        EXPECT_DOUBLE_EQ(arc.radius, 200.0);
        EXPECT_EQ(arc.layer, 200);
    }
}

TEST_F(LineRunTest, ZigzagUsesItsOwnWidthAndHalfTheHeight) {
    settings::RunSettings settings;
    settings.ZigzagWidth = 10;
    settings.ZigzagHeight = 6;
    Draw({{0, 0}, {40, 0}}, Options(1), settings);
    const auto legs = Entities();
    ASSERT_EQ(legs.size(), 4U);
    EXPECT_DOUBLE_EQ(legs[0].endX, 5.0);
    EXPECT_DOUBLE_EQ(std::abs(legs[0].endY), 3.0);
    EXPECT_DOUBLE_EQ(legs[3].endX, 35.0);
}

TEST_F(LineRunTest, MissingLayerIsCreatedOnceWithItsName) {
    settings::RunSettings settings;
    settings.LayerNumber = 7;
    Draw({{0, 0}, {20, 0}}, Options(0), settings);
    Draw({{0, 10}, {20, 10}}, Options(0), settings);
    const auto& calls = factory.Log()->Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Layers.Add(7, 地況線, 0)"), 1);
    for (const auto& entity : Entities()) EXPECT_EQ(entity.layer, 7);
}

TEST_F(LineRunTest, LayerChangeOtherThanOneUsesTheCurrentLayer) {
    for (std::int32_t change : {0, 2, -1}) {
        SCOPED_TRACE(change);
        document = factory.Application()->GetDocuments()->Put("図面" + std::to_string(change));
        document->GetAttributes()->Put(42);
        settings::RunSettings settings;
        settings.LayerChange = change;
        const LineResult result = Draw({{0, 0}, {20, 0}}, Options(1), settings);
        EXPECT_EQ(result.layer, 42);
        for (const auto& entity : Entities()) EXPECT_EQ(entity.layer, 42);
        EXPECT_EQ(document->GetLayers()->IndexOf(200), -1);
    }
}

struct Refusal {
    const char* name;
    std::int32_t radius;
    std::int32_t width;
    std::int32_t numerator;
};

void PrintTo(const Refusal& row, std::ostream* out) { *out << row.name; }

class LineRunRefusal : public LineRunTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(LineRunRefusal, NothingChangesInTheDrawingOrItsLayers) {
    const Refusal& row = GetParam();
    document->GetScale()->Put(row.numerator, 1);
    settings::RunSettings settings;
    settings.WaveRadius = row.radius;
    settings.WaveWidth = row.width;
    EXPECT_THROW(Draw({{0, 0}, {100, 0}}, Options(0), settings), Error);
    EXPECT_TRUE(Entities().empty());
    EXPECT_EQ(document->GetLayers()->IndexOf(200), -1);
}

INSTANTIATE_TEST_SUITE_P(Rows, LineRunRefusal,
                         ::testing::Values(Refusal{"RadiusBelowHalfWidth", 2, 5, 1},
                                           Refusal{"ZeroNumerator", 4, 5, 0},
                                           Refusal{"NegativeNumerator", 4, 5, -3}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(LineRunTest, RadiusOfExactlyHalfTheWidthDrawsHalfCircles) {
    settings::RunSettings settings;
    settings.WaveRadius = 3;
    settings.WaveWidth = 6;
    Draw({{0, 0}, {12, 0}}, Options(0), settings);
    const auto arcs = Entities();
    ASSERT_EQ(arcs.size(), 2U);
    EXPECT_NEAR(arcs[0].centerY, 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(arcs[0].centerX, 3.0);
}

TEST_F(LineRunTest, RadiusErrorCarriesTheDialogsMessage) {
    settings::RunSettings settings;
    settings.WaveRadius = 1;
    try {
        Draw({{0, 0}, {100, 0}}, Options(0), settings);
        FAIL() << "no error";
    } catch (const SettingsError& error) {
        EXPECT_STREQ(error.what(), settings::kRadiusTooSmallMessage);
    }
}

// The bound on work: the estimate is checked against the limit before the drawing, its layers
// or any path list change, and a line just within it is drawn with no more than estimated.
struct LimitRow {
    const char* name;
    std::vector<std::pair<double, double>> picks;
    std::int32_t magnification;
    std::int64_t limit;
    bool refused;
};

void PrintTo(const LimitRow& row, std::ostream* out) { *out << row.name; }

class LineRunLimit : public LineRunTest, public ::testing::WithParamInterface<LimitRow> {};

TEST_P(LineRunLimit, RefusesAboveTheLimitBeforeAnythingChanges) {
    const LimitRow& row = GetParam();
    LineOptions options = Options(0, row.magnification);
    options.entityLimit = row.limit;
    if (!row.refused) {
        const LineResult result = Draw(row.picks, options);
        EXPECT_LE(result.entities, EstimateEntities(result.pathLength, result.pitch,
                                                    static_cast<std::int32_t>(row.picks.size())));
        return;
    }
    try {
        Draw(row.picks, options);
        FAIL() << "not refused";
    } catch (const WorkLimitError& error) {
        EXPECT_GT(error.Estimate(), row.limit);
        EXPECT_EQ(error.Limit(), row.limit);
        const std::string text = error.what();
        EXPECT_NE(text.find(std::to_string(error.Estimate())), std::string::npos) << text;
        EXPECT_NE(text.find(std::to_string(row.limit)), std::string::npos) << text;
    }
    EXPECT_TRUE(Entities().empty());
    EXPECT_EQ(document->GetLayers()->IndexOf(200), -1);
    const auto& calls = factory.Log()->Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "Factory.CreatePointList"), 0)
        << "the path list was made before the refusal";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LineRunLimit,
    ::testing::Values(
        // Two points 1e12 apart at 10 %: a pitch of 0.5 gives about 2e12 arcs.
        LimitRow{"HugeLineAgainstTheDefault", {{0, 0}, {1e12, 0}}, 10, kDefaultEntityLimit, true},
        LimitRow{"JustAboveASmallLimit", {{0, 0}, {100, 0}}, 100, 20, true},
        LimitRow{"WithinASmallLimit", {{0, 0}, {100, 0}}, 100, 23, false},
        LimitRow{
            "BentPathCountsItsWholeLength", {{0, 0}, {50, 0}, {50, 50}, {0, 50}}, 100, 30, true}),
    [](const auto& row) { return std::string(row.param.name); });

// The estimate is an upper bound of what the run makes, for random paths and pitches.
TEST_F(LineRunTest, EstimateIsNeverBelowTheEntitiesMade) {
    const unsigned seed = 99;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coordinate(-200.0, 200.0);
    std::uniform_int_distribution<int> count(2, 12);
    std::uniform_int_distribution<std::int32_t> magnification(10, 300);
    for (int round = 0; round < 60; ++round) {
        std::vector<std::pair<double, double>> picks(static_cast<std::size_t>(count(rng)));
        for (auto& p : picks) p = {coordinate(rng), coordinate(rng)};
        LineOptions options = Options(round % 2, magnification(rng));
        const LineResult result = Draw(picks, options);
        EXPECT_LE(result.entities, EstimateEntities(result.pathLength, result.pitch,
                                                    static_cast<std::int32_t>(picks.size())))
            << "seed " << seed << " round " << round;
    }
    EXPECT_EQ(EstimateEntities(std::numeric_limits<double>::infinity(), 1.0, 2),
              std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(EstimateEntities(1e300, 1e-300, 2), std::numeric_limits<std::int64_t>::max());
}

TEST_F(LineRunTest, PathShorterThanThePitchAddsNothingAndSaysWhy) {
    // 1:10 at 100 %: pitch 50; the path is 30 long.
    document->GetScale()->Put(1, 10);
    const LineResult result = Draw({{0, 0}, {30, 0}}, Options(0));
    EXPECT_EQ(result.entities, 0);
    EXPECT_TRUE(Entities().empty());
    EXPECT_DOUBLE_EQ(result.pitch, 50.0);
    EXPECT_DOUBLE_EQ(result.pathLength, 30.0);
    const std::string text = NoEntityText(result.pathLength, result.pitch);
    EXPECT_NE(text.find("長さは 30"), std::string::npos) << text;
    EXPECT_NE(text.find("間隔 50 (図面の単位)"), std::string::npos) << text;
}

}  // namespace
}  // namespace pelimator
