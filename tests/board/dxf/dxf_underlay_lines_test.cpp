// Multilines, construction lines and image frames beneath the board: what each draws, where a
// construction line is cut, the extents that fitting the view zooms to, and what the open report
// lists as not shown.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "board/dxf/dxf_file.h"

namespace pelimator::board {
namespace {

using Tags = std::vector<std::pair<int, std::string>>;

std::string Record(const Tags& tags) {
    std::string out;
    for (const auto& [code, value] : tags) out += std::to_string(code) + "\n" + value + "\n";
    return out;
}

// A drawing of these model-space entities, with a multiline style (handle 18, elements at
// +0.5 in colour 1 and -0.5 in colour 5) whose flags are styleFlags.
std::string Drawing(const std::vector<Tags>& entities, int styleFlags = 0) {
    std::string out = Record({{0, "SECTION"},
                              {2, "HEADER"},
                              {9, "$ACADVER"},
                              {1, "AC1015"},
                              {0, "ENDSEC"},
                              {0, "SECTION"},
                              {2, "ENTITIES"}});
    for (const Tags& e : entities) out += Record(e);
    out += Record({{0, "ENDSEC"},   {0, "SECTION"},
                   {2, "OBJECTS"},  {0, "MLINESTYLE"},
                   {5, "18"},       {100, "AcDbMlineStyle"},
                   {2, "STANDARD"}, {70, std::to_string(styleFlags)},
                   {62, "256"},     {51, "90"},
                   {52, "90"},      {71, "2"},
                   {49, "0.5"},     {62, "1"},
                   {6, "BYLAYER"},  {49, "-0.5"},
                   {62, "5"},       {6, "BYLAYER"},
                   {0, "ENDSEC"},   {0, "EOF"}});
    return out;
}

// A straight multiline along x from (0, 0) to (10, 0), elements 1 above and 1 below; the lower
// element's parameters at the first vertex are lower (dashes after its miter offset).
Tags MLine(std::vector<std::string> lower = {}, int flags = 1) {
    Tags t{{0, "MLINE"},       {5, "A0"},       {8, "0"},
           {100, "AcDbMline"}, {2, "STANDARD"}, {340, "18"},
           {40, "2"},          {70, "1"},       {71, std::to_string(flags)},
           {72, "2"},          {73, "2"},       {10, "0"},
           {20, "0"},          {30, "0"}};
    for (int v = 0; v < 2; ++v) {
        const std::vector<std::string> dashes = v == 0 ? lower : std::vector<std::string>{};
        Tags vertex{{11, v == 0 ? "0" : "10"},
                    {21, "0"},
                    {31, "0"},
                    {12, "1"},
                    {22, "0"},
                    {32, "0"},
                    {13, "0"},
                    {23, "1"},
                    {33, "0"},
                    {74, "1"},
                    {41, "1"},
                    {75, "0"},
                    {74, std::to_string(1 + dashes.size())},
                    {41, "-1"}};
        for (const std::string& d : dashes) vertex.emplace_back(41, d);
        vertex.emplace_back(75, "0");
        t.insert(t.end(), vertex.begin(), vertex.end());
    }
    return t;
}

Tags Infinite(const char* type, Vec2 at, Vec2 direction) {
    return {{0, type},
            {5, "B0"},
            {8, "0"},
            {10, std::to_string(at.x)},
            {20, std::to_string(at.y)},
            {11, std::to_string(direction.x)},
            {21, std::to_string(direction.y)}};
}

Tags Line(Vec2 a, Vec2 b) {
    return {{0, "LINE"},
            {8, "0"},
            {10, std::to_string(a.x)},
            {20, std::to_string(a.y)},
            {11, std::to_string(b.x)},
            {21, std::to_string(b.y)}};
}

std::vector<std::vector<Vec2>> Polylines(const Underlay& u) {
    std::vector<std::vector<Vec2>> out;
    for (const UnderlayItem& it : u.items) {
        out.emplace_back(u.points.begin() + it.first, u.points.begin() + it.first + it.count);
    }
    return out;
}

// Each row: the entities, the items' points drawn, the underlay's extents (what fitting the view
// takes from it) and what the report's summary lists as not shown ("" nothing).
TEST(DxfUnderlayLines, MultilinesConstructionLinesAndFramesAreDrawnAndReported) {
    struct Row {
        const char* name;
        std::vector<Tags> entities;
        int styleFlags;
        std::vector<std::vector<Vec2>> drawn;
        Box extents;
        const char* unshown;
    };
    const std::vector<Row> rows = {
        {"a multiline: its two element lines",
         {MLine()},
         0,
         {{{0, 1}, {10, 1}}, {{0, -1}, {10, -1}}},
         {{0, -1}, {10, 1}},
         ""},
        {"a break from 2 to 3 in the lower element",
         {MLine({"0", "2", "3"})},
         0,
         {{{0, 1}, {10, 1}}, {{0, -1}, {2, -1}}, {{3, -1}, {10, -1}}},
         {{0, -1}, {10, 1}},
         ""},
        {"square caps at both ends, each half in its element's colour",
         {MLine()},
         16 | 256,
         {{{0, 1}, {10, 1}},
          {{0, -1}, {10, -1}},
          {{0, 1}, {0, 0}},
          {{0, -1}, {0, 0}},
          {{10, 1}, {10, 0}},
          {{10, -1}, {10, 0}}},
         {{0, -1}, {10, 1}},
         ""},
        {"caps the multiline suppresses (start 4, end 8)",
         {MLine({}, 1 | 4 | 8)},
         16 | 256,
         {{{0, 1}, {10, 1}}, {{0, -1}, {10, -1}}},
         {{0, -1}, {10, 1}},
         ""},
        {"an xline across the board's line, a box its size beyond it each way",
         {Line({0, 0}, {10, 10}), Infinite("XLINE", {5, 5}, {1, 0})},
         0,
         {{{-10, 5}, {20, 5}}},
         {{5, 5}, {5, 5}},
         ""},
        {"an xline off the box's middle runs as far on its near side: its point midway",
         {Line({0, 0}, {10, 10}), Infinite("XLINE", {0, 5}, {1, 0})},
         0,
         {{{-20, 5}, {20, 5}}},
         {{0, 5}, {0, 5}},
         ""},
        {"a ray from its point to the box's edge; the extents keep the multiline's",
         {MLine(), Infinite("RAY", {5, 0}, {0, 1})},
         0,
         {{{0, 1}, {10, 1}}, {{0, -1}, {10, -1}}, {{5, 0}, {5, 11}}},
         {{0, -1}, {10, 1}},
         ""},
        {"an image's clip boundary (pixels, y down from the top) as its frame",
         {{{0, "IMAGE"},
           {8, "0"},
           {10, "10"},
           {20, "20"},
           {11, "0.5"},
           {21, "0"},
           {12, "0"},
           {22, "0.5"},
           {13, "4"},
           {23, "2"},
           {280, "1"},
           {71, "2"},
           {91, "3"},
           {14, "-0.5"},
           {24, "-0.5"},
           {14, "3.5"},
           {24, "-0.5"},
           {14, "-0.5"},
           {24, "1.5"}}},
         0,
         {{{10, 21}, {12, 21}, {10, 20}}},
         {{10, 20}, {12, 21}},
         ""},
        {"a shape marked by a point",
         {{{0, "SHAPE"}, {8, "0"}, {10, "3"}, {20, "4"}, {2, "S"}}},
         0,
         {{{3, 4}}},
         {{3, 4}, {3, 4}},
         ""},
        {"a feature control frame: a box and a text for each field, the first box square",
         {{{0, "TOLERANCE"}, {8, "0"}, {10, "0"}, {20, "0"}, {1, "{\\Fgdt;j}%%v0.1%%v"}}},
         0,
         {{{0, 0.18}, {0.36, 0.18}, {0.36, -0.18}, {0, -0.18}},
          {},
          {{0.36, 0.18}, {0.864, 0.18}, {0.864, -0.18}, {0.36, -0.18}},
          {}},
         {{0, -0.18}, {0.864, 0.18}},
         ""},
        {"what is still not drawn is listed: a PDF underlay, an image without pixels",
         {MLine(),
          {{0, "PDFUNDERLAY"}, {8, "0"}, {10, "0"}, {20, "0"}},
          {{0, "IMAGE"}, {8, "0"}, {10, "0"}, {20, "0"}}},
         0,
         {{{0, 1}, {10, 1}}, {{0, -1}, {10, -1}}},
         {{0, -1}, {10, 1}},
         "2 個: IMAGE 1 PDFUNDERLAY 1。"},
    };
    for (const Row& row : rows) {
        const DxfReadResult read = ReadDxfText(Drawing(row.entities, row.styleFlags), "t.dxf");
        ASSERT_TRUE(read.underlay != nullptr) << row.name;
        const std::vector<std::vector<Vec2>> drawn = Polylines(*read.underlay);
        ASSERT_EQ(drawn.size(), row.drawn.size()) << row.name;
        for (std::size_t i = 0; i < drawn.size(); ++i) {
            ASSERT_EQ(drawn[i].size(), row.drawn[i].size()) << row.name << " item " << i;
            for (std::size_t k = 0; k < drawn[i].size(); ++k) {
                EXPECT_NEAR(drawn[i][k].x, row.drawn[i][k].x, 1e-9) << row.name << " " << i;
                EXPECT_NEAR(drawn[i][k].y, row.drawn[i][k].y, 1e-9) << row.name << " " << i;
            }
        }
        const std::optional<Box> extents = read.underlay->Extents();
        ASSERT_TRUE(extents.has_value()) << row.name;
        EXPECT_NEAR(extents->min.x, row.extents.min.x, 1e-9) << row.name;
        EXPECT_NEAR(extents->min.y, row.extents.min.y, 1e-9) << row.name;
        EXPECT_NEAR(extents->max.x, row.extents.max.x, 1e-9) << row.name;
        EXPECT_NEAR(extents->max.y, row.extents.max.y, 1e-9) << row.name;
        const std::string summary = read.report.Summary();
        if (*row.unshown == '\0') {
            EXPECT_EQ(summary.find("表示しない"), std::string::npos) << row.name << ": " << summary;
        } else {
            EXPECT_NE(summary.find(std::string("表示しない図形 ") + row.unshown), std::string::npos)
                << row.name << ": " << summary;
        }
    }
    // The cap's halves take their elements' colours: red above, blue below.
    const DxfReadResult capped = ReadDxfText(Drawing({MLine()}, 16), "t.dxf");
    ASSERT_EQ(capped.underlay->items.size(), 4U);
    EXPECT_EQ(capped.underlay->items[2].colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(capped.underlay->items[3].colour, (Rgb{0, 0, 255}));
}

}  // namespace
}  // namespace pelimator::board
