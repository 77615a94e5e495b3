// How a line ends, through the board's own curves: paths a whole number of pitches long end with
// the right count and nothing past their end; everywhere else the run equals, entity for entity
// and bit for bit, a reference written from the dividers' rule as first given (whose end rule
// appends the path's end however short the final piece).
#include <array>
#include <cmath>
#include <numbers>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/model/application.h"
#include "board/model/document.h"
#include "board/model/factory.h"
#include "board/model/units.h"
#include "geometry/calc.h"
#include "geometry/path_points.h"
#include "host/point_list.h"
#include "line/line_run.h"
#include "patterns/wave.h"
#include "patterns/zigzag.h"

namespace pelimator {
namespace {

struct Point {
    double x;
    double y;
    friend bool operator==(Point, Point) = default;
};

// The dividers as first written down: from the start, each point on the polyline a pitch (in a
// straight line) from the one before, cutting the segment where it leaves the pitch's circle and
// walking on from the cut; at the end the last point is appended whenever the last distance
// worked out exceeds a third of the pitch and it is not the last point already. finalPiece
// receives the length of that last appended piece (0 when nothing was appended).
std::vector<Point> ReferenceDividers(std::vector<Point> line, double pitch, double& finalPiece) {
    std::vector<Point> path{line.front()};
    Point from = line.front();
    double last = 0.0;
    std::size_t next = 1;
    while (next < line.size()) {
        const Point to = line[next];
        if (M_Calc::GetManhattanDistance(from.x, from.y, to.x, to.y) < pitch) {
            ++next;
            continue;
        }
        last = M_Calc::GetDistance(from.x, from.y, to.x, to.y);
        if (last <= pitch) {
            if (last == pitch) {
                path.push_back(to);
                from = to;
            }
            ++next;
            continue;
        }
        Point cut{};
        M_Calc::GetCircleLineCross(from.x, from.y, pitch, line[next - 1].x, line[next - 1].y, to.x,
                                   to.y, cut.x, cut.y);
        path.push_back(cut);
        line[next - 1] = cut;
        from = cut;
    }
    finalPiece = 0.0;
    if (pitch / 3.0 < last && !(line.back() == from)) {
        finalPiece = std::hypot(line.back().x - from.x, line.back().y - from.y);
        path.push_back(line.back());
    }
    return path;
}

struct Case {
    settings::PathKind pathKind;
    settings::LineKind lineKind;
    settings::UpSide up;
    std::int32_t magnification;
    std::int32_t denominator;
    std::int32_t unitCode;
};

std::string Describe(const Case& c) {
    return "path kind " + std::to_string(static_cast<int>(c.pathKind)) + ", line " +
           std::to_string(static_cast<int>(c.lineKind)) + ", up " +
           std::to_string(static_cast<int>(c.up)) + ", " + std::to_string(c.magnification) +
           " %, 1:" + std::to_string(c.denominator) + ", unit " + std::to_string(c.unitCode);
}

class LineEnd : public ::testing::Test {
protected:
    void SetUp() override { M_Calc::InitPi(); }

    board::BoardDocumentPtr NewDocument(const Case& c) {
        auto document = application->AddDocument("図面");
        document->ScaleModel()->SetDenominator(c.denominator);
        document->SetUnitCode(c.unitCode);
        return document;
    }

    static LineOptions OptionsOf(const Case& c) {
        LineOptions options;
        options.pathKind = c.pathKind;
        options.lineKind = c.lineKind;
        options.up = c.up;
        options.magnification = c.magnification;
        return options;
    }

    // The run as the tool makes it.
    std::vector<board::EntityData> Run(const Case& c, const std::vector<Point>& picks,
                                       const settings::RunSettings& settings) {
        auto document = NewDocument(c);
        host::PlainPointList list;
        for (const Point p : picks) {
            list.Add(p.x, p.y);
        }
        (void)DrawLine(factory, *document, list, OptionsOf(c), settings, {});
        const auto entities = document->DrawingModel()->Entities();
        return {entities.begin(), entities.end()};
    }

    // The same line from the reference dividers and the same pattern generators.
    std::vector<board::EntityData> Reference(const Case& c, const std::vector<Point>& picks,
                                             const settings::RunSettings& settings,
                                             double& finalPiece, double& pitch) {
        auto document = NewDocument(c);
        host::PlainPointList list;
        for (const Point p : picks) {
            list.Add(p.x, p.y);
        }
        auto curve = factory.CreateCurve();
        curve->SetPoints(static_cast<std::int16_t>(c.pathKind), list);
        const auto points = curve->Points();
        std::vector<Point> line;
        line.reserve(static_cast<std::size_t>(points->Count()));
        for (std::int32_t i = 0; i < points->Count(); ++i) {
            line.push_back({points->Item(i)->X(), points->Item(i)->Y()});
        }
        const bool wave = c.lineKind == settings::LineKind::Wave;
        const double factor =
            static_cast<double>(c.denominator) / 1.0 / board::FindUnit(c.unitCode)->millimetres;
        const double mag = c.magnification / 100.0;
        const auto length = [&](std::int32_t mm) { return (mm * factor) * mag; };
        pitch = length(wave ? settings.WaveWidth : settings.ZigzagWidth);
        host::PlainPointList path;
        for (const Point p : ReferenceDividers(line, pitch, finalPiece)) {
            path.Add(p.x, p.y);
        }
        const std::int16_t dir = c.up == settings::UpSide::Left ? -1 : 0;
        if (wave) {
            AddArcWave(factory, length(settings.WaveRadius), pitch, dir, path, *document->Drawing(),
                       0, {});
        } else {
            AddZigzagLine(factory, length(settings.ZigzagHeight), dir, path, *document->Drawing(),
                          0, {});
        }
        const auto entities = document->DrawingModel()->Entities();
        return {entities.begin(), entities.end()};
    }

    board::BoardApplicationPtr application = board::BoardApplication::Create();
    board::BoardFactory factory{application};
};

settings::RunSettings OnTheCurrentLayer() {
    settings::RunSettings settings;
    settings.LayerChange = 0;
    return settings;
}

// Random picks of every path kind, line kind, side, magnification, scale and unit, and straight
// paths a whole number of pitches long among them: equal to the reference wherever its final
// piece is not mere rounding; where it is, the reference's last entity (along that piece) is the
// only difference.
TEST_F(LineEnd, EqualsTheReferenceExceptForARoundingPiece) {
    constexpr unsigned kSeed = 2024;
    SCOPED_TRACE("seed " + std::to_string(kSeed));
    std::mt19937 random(kSeed);
    std::uniform_real_distribution<double> coordinate(-4000.0, 4000.0);
    std::uniform_real_distribution<double> turn(0.0, 2.0 * std::numbers::pi);
    const settings::RunSettings settings = OnTheCurrentLayer();
    const std::array<std::int32_t, 3> mags{37, 100, 250};
    const std::array<std::int32_t, 3> scales{1, 100, 500};
    const std::array<std::int32_t, 4> units{4, 0, 6, 1};  // mm, none, m, inch
    int tiny = 0;
    int compared = 0;
    constexpr int kCurves = 48;  // then straight paths: about one in sixteen ends in rounding
    constexpr int kCases = kCurves + 240;
    for (int n = 0; n < kCases; ++n) {
        std::vector<Point> picks;
        Case c{static_cast<settings::PathKind>(n % 3),
               static_cast<settings::LineKind>(n / 3 % 2),
               static_cast<settings::UpSide>(n / 6 % 2),
               mags[n / 2 % 3],
               scales[n / 4 % 3],
               units[n / 12 % 4]};
        if (n >= kCurves) {
            // A straight path of a whole number of pitches, in a random direction.
            const bool wave = c.lineKind == settings::LineKind::Wave;
            const double factor = c.denominator / board::FindUnit(c.unitCode)->millimetres;
            const double pitch = ((wave ? settings.WaveWidth : settings.ZigzagWidth) * factor) *
                                 (c.magnification / 100.0);
            const double angle = turn(random);
            const double length = pitch * (3 + n % 17);
            const Point a{coordinate(random) * factor, coordinate(random) * factor};
            picks = {a, {a.x + length * std::cos(angle), a.y + length * std::sin(angle)}};
            c.pathKind = settings::PathKind::Polyline;
        } else {
            const double factor = c.denominator / board::FindUnit(c.unitCode)->millimetres;
            for (int i = 0; i < 2 + n % 5; ++i) {
                picks.push_back(
                    {coordinate(random) * factor / 20.0, coordinate(random) * factor / 20.0});
            }
        }
        SCOPED_TRACE("case " + std::to_string(n) + ": " + Describe(c));
        double finalPiece = 0.0;
        double pitch = 0.0;
        std::vector<board::EntityData> expected = Reference(c, picks, settings, finalPiece, pitch);
        if (finalPiece > 0.0 && finalPiece < kEndRemainderShare * pitch) {
            ++tiny;
            ASSERT_FALSE(expected.empty());
            expected.pop_back();
        }
        const std::vector<board::EntityData> actual = Run(c, picks, settings);
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < actual.size(); ++i) {
            ASSERT_EQ(actual[i], expected[i]) << "entity " << i;
        }
        ++compared;
    }
    EXPECT_EQ(compared, kCases);
    EXPECT_GT(tiny, 0) << "no case had a rounding piece: the rows do not reach the rule";
}

struct WholeRow {
    int degrees;  // direction of the path
    settings::PathKind pathKind;
    settings::LineKind lineKind;
    int pitches;  // its length
};

void PrintTo(const WholeRow& row, std::ostream* out) {
    *out << row.degrees << " degrees, kind " << static_cast<int>(row.pathKind);
}

class WholePitches : public LineEnd, public ::testing::WithParamInterface<WholeRow> {};

// Three picks in a line (so every path kind is that straight line), a whole number of pitches
// long: exactly that many arcs or legs, the last one ending on the path's end, none past it.
TEST_P(WholePitches, EndWithTheRightCountAndNothingPastTheEnd) {
    const WholeRow& row = GetParam();
    const Case c{row.pathKind, row.lineKind, settings::UpSide::Left, 100, 100, 4};
    const double pitch = 500.0;  // 5 mm at 1:100
    const double length = pitch * row.pitches;
    const double angle = row.degrees * std::numbers::pi / 180.0;
    const Point u{std::cos(angle), std::sin(angle)};
    const Point a{1234.5, -678.25};
    const std::vector<Point> picks{a,
                                   {a.x + 0.375 * length * u.x, a.y + 0.375 * length * u.y},
                                   {a.x + length * u.x, a.y + length * u.y}};
    const auto entities = Run(c, picks, OnTheCurrentLayer());
    ASSERT_EQ(entities.size(), static_cast<std::size_t>(row.pitches));
    const auto along = [&](board::Vec2 p) { return (p.x - a.x) * u.x + (p.y - a.y) * u.y; };
    double furthest = 0.0;
    for (const board::EntityData& e : entities) {
        for (const board::Vec2 p : {e.start, e.end}) {
            furthest = std::max(furthest, along(p));
        }
    }
    // Wave arcs span chords of the path, the last one up to its end; zigzag legs end at the
    // apexes over the middles of the chords, the last half a pitch before the end.
    const bool wave = row.lineKind == settings::LineKind::Wave;
    EXPECT_NEAR(furthest, wave ? length : length - pitch / 2.0, 1e-6 * length);
}

std::vector<WholeRow> WholeRows() {
    std::vector<WholeRow> rows;
    for (int degrees = 0; degrees < 360; degrees += 15) {
        for (const auto kind : {settings::PathKind::Polyline, settings::PathKind::NearPoints,
                                settings::PathKind::ThroughPoints}) {
            const auto line =
                degrees % 30 == 0 ? settings::LineKind::Wave : settings::LineKind::Zigzag;
            rows.push_back({degrees, kind, line, 7 + degrees / 15});
        }
    }
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Rows, WholePitches, ::testing::ValuesIn(WholeRows()),
                         [](const ::testing::TestParamInfo<WholeRow>& row) {
                             return "deg" + std::to_string(row.param.degrees) + "_kind" +
                                    std::to_string(static_cast<int>(row.param.pathKind)) + "_" +
                                    (row.param.lineKind == settings::LineKind::Wave ? "wave"
                                                                                    : "zigzag") +
                                    "_" + std::to_string(row.param.pitches);
                         });

// The example of the report: 0,0 to 6000,8000 at 1:100 is exactly 20 pitches of 500.
TEST_F(LineEnd, TwentyPitchesMakeTwentyArcs) {
    const Case c{settings::PathKind::Polyline,
                 settings::LineKind::Wave,
                 settings::UpSide::Left,
                 100,
                 100,
                 4};
    const auto entities = Run(c, {{0, 0}, {6000, 8000}}, OnTheCurrentLayer());
    ASSERT_EQ(entities.size(), 20U);
    const board::EntityData& last = entities.back();
    EXPECT_NEAR(std::max(last.start.y, last.end.y), 8000.0, 1e-6);
}

}  // namespace
}  // namespace pelimator
