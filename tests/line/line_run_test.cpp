// One line from picks to entities: scale, magnification, layer choice and refusals.
#include "line/line_run.h"

#include <cmath>

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

    static LineOptions Options(std::int16_t lineKind, std::int32_t magnification = 100) {
        LineOptions options;
        options.pathKind = 0;
        options.lineKind = lineKind;
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
        EXPECT_STREQ(error.what(), kRadiusTooSmallMessage);
    }
}

}  // namespace
}  // namespace pelimator
