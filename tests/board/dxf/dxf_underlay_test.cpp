// The underlay built from DXF records: blocks and their transforms, inherited layers and
// colours, text placement, widths, curves, fills and snap points.
#include "board/dxf/dxf_underlay.h"

#include <cctype>
#include <cmath>
#include <map>
#include <numbers>
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

// An R12 drawing: a layer table (name, colour, flags), blocks (each a BLOCK record's tags and
// its entities) and model-space entities.
struct Drawing {
    std::vector<std::tuple<std::string, int, int>> layers;
    std::vector<std::pair<Tags, std::vector<Tags>>> blocks;
    std::vector<Tags> entities;
    std::string dashedLayer;  // a layer drawn in DASHED, besides those above
    std::string header;       // more header variables, as tags
    std::string tables;       // more tables, as records

    [[nodiscard]] std::string Text() const {
        std::string out = Record({{0, "SECTION"}, {2, "HEADER"}, {9, "$ACADVER"}, {1, "AC1009"}}) +
                          header + Record({{0, "ENDSEC"}});
        out += Record({{0, "SECTION"},
                       {2, "TABLES"},
                       {0, "TABLE"},
                       {2, "LTYPE"},
                       {70, "1"},
                       {0, "LTYPE"},
                       {2, "DASHED"},
                       {70, "0"},
                       {3, ""},
                       {72, "65"},
                       {73, "2"},
                       {40, "3"},
                       {49, "2"},
                       {49, "-1"},
                       {0, "ENDTAB"}}) +
               tables + Record({{0, "TABLE"}, {2, "LAYER"}, {70, std::to_string(layers.size())}});
        for (const auto& [name, colour, flags] : layers) {
            out += Record({{0, "LAYER"},
                           {2, name},
                           {70, std::to_string(flags)},
                           {62, std::to_string(colour)},
                           {6, "CONTINUOUS"}});
        }
        if (!dashedLayer.empty()) {
            out += Record({{0, "LAYER"}, {2, dashedLayer}, {70, "0"}, {62, "1"}, {6, "DASHED"}});
        }
        out += Record({{0, "ENDTAB"}, {0, "ENDSEC"}, {0, "SECTION"}, {2, "BLOCKS"}});
        for (const auto& [head, body] : blocks) {
            out += Record(head);
            for (const Tags& e : body) out += Record(e);
            out += Record({{0, "ENDBLK"}});
        }
        out += Record({{0, "ENDSEC"}, {0, "SECTION"}, {2, "ENTITIES"}});
        for (const Tags& e : entities) out += Record(e);
        out += Record({{0, "ENDSEC"}, {0, "EOF"}});
        return out;
    }
};

Tags Line(Vec2 a, Vec2 b, const std::string& layer = "0", int colour = 256) {
    return {{0, "LINE"},
            {8, layer},
            {62, std::to_string(colour)},
            {10, std::to_string(a.x)},
            {20, std::to_string(a.y)},
            {11, std::to_string(b.x)},
            {21, std::to_string(b.y)}};
}

Tags Block(const std::string& name, Vec2 base = {}) {
    return {{0, "BLOCK"},
            {8, "0"},
            {2, name},
            {70, "0"},
            {10, std::to_string(base.x)},
            {20, std::to_string(base.y)}};
}

Tags Insert(const std::string& name, Vec2 at, Tags more = {}) {
    Tags tags{
        {0, "INSERT"}, {8, "0"}, {2, name}, {10, std::to_string(at.x)}, {20, std::to_string(at.y)}};
    tags.insert(tags.end(), more.begin(), more.end());
    return tags;
}

struct Opened {
    DxfReadResult read;
    [[nodiscard]] const Underlay& U() const { return *read.underlay; }
    [[nodiscard]] std::vector<Vec2> Points(std::size_t item) const {
        const UnderlayItem& it = U().items.at(item);
        return {U().points.begin() + it.first, U().points.begin() + it.first + it.count};
    }
    [[nodiscard]] std::int32_t LayerNumber(const std::string& name) const {
        for (const LayerData& layer : read.content.layers) {
            if (layer.name == name) return layer.number;
        }
        return -1;
    }
};

Opened Open(const Drawing& drawing) {
    Opened opened{ReadDxfText(drawing.Text(), "test.dxf")};
    EXPECT_TRUE(opened.read.underlay != nullptr);
    return opened;
}

void ExpectNear(Vec2 actual, Vec2 expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, 1e-6) << what;
    EXPECT_NEAR(actual.y, expected.y, 1e-6) << what;
}

TEST(DxfUnderlay, InsertsMapTheirBlocksThroughBaseScaleRotationArraysAndMirror) {
    struct Row {
        const char* name;
        Tags insert;  // of block OUTER at (100, 100)
        std::vector<std::pair<Vec2, Vec2>> lines;
    };
    // OUTER (base 0,0) inserts INNER (base 1,0) at (10,0) scaled 2; INNER holds a line from
    // (1,0) to (2,0): OUTER holds the line (10,0)-(12,0).
    const std::vector<Row> rows = {
        {"plain", {}, {{{110, 100}, {112, 100}}}},
        {"rotated 90", {{50, "90"}}, {{{100, 110}, {100, 112}}}},
        {"scaled in x by -1", {{41, "-1"}}, {{{90, 100}, {88, 100}}}},
        {"2 columns, 2 rows",
         {{70, "2"}, {71, "2"}, {44, "20"}, {45, "5"}},
         {{{110, 100}, {112, 100}},
          {{130, 100}, {132, 100}},
          {{110, 105}, {112, 105}},
          {{130, 105}, {132, 105}}}},
        {"seen from below", {{210, "0"}, {220, "0"}, {230, "-1"}}, {{{-110, 100}, {-112, 100}}}},
    };
    for (const Row& row : rows) {
        Drawing d;
        d.blocks = {{Block("INNER", {1, 0}), {Line({1, 0}, {2, 0})}},
                    {Block("OUTER"), {Insert("INNER", {10, 0}, {{41, "2"}, {42, "2"}})}}};
        d.entities = {Insert("OUTER", {100, 100}, row.insert)};
        const Opened o = Open(d);
        ASSERT_EQ(o.U().items.size(), row.lines.size()) << row.name;
        for (std::size_t i = 0; i < row.lines.size(); ++i) {
            const auto points = o.Points(i);
            ASSERT_EQ(points.size(), 2U) << row.name;
            ExpectNear(points[0], row.lines[i].first, row.name);
            ExpectNear(points[1], row.lines[i].second, row.name);
        }
    }
}

TEST(DxfUnderlay, BlockEntitiesOnLayerZeroTakeTheInsertsLayerAndByBlockItsColour) {
    Drawing d;
    d.layers = {{"0", 7, 0}, {"WALL", 5, 0}, {"ICE", 4, 1}, {"DOOR", 1, 0}};
    d.blocks = {{Block("SYM"),
                 {Line({0, 0}, {1, 0}),            // layer 0, BYLAYER
                  Line({0, 1}, {1, 1}, "0", 0),    // BYBLOCK
                  Line({0, 2}, {1, 2}, "DOOR"),    // own layer
                  Line({0, 3}, {1, 3}, "ICE")}}};  // a frozen layer
    d.entities = {Insert("SYM", {0, 0}, {{8, "WALL"}, {62, "3"}}),
                  Insert("SYM", {0, 10}, {{8, "ICE"}})};  // a frozen insert: none of it
    const Opened o = Open(d);
    const auto& items = o.U().items;
    ASSERT_EQ(items.size(), 4U);
    EXPECT_EQ(items[0].layer, o.LayerNumber("WALL"));
    EXPECT_EQ(items[0].colour, (Rgb{0, 0, 255}));  // WALL's blue
    EXPECT_EQ(items[1].colour, (Rgb{0, 255, 0}));  // the insert's green
    EXPECT_EQ(items[2].layer, o.LayerNumber("DOOR"));
    EXPECT_EQ(items[2].colour, (Rgb{255, 0, 0}));
    // On the frozen layer: kept, hidden through the layer (the board shows it when switched on).
    EXPECT_EQ(items[3].layer, o.LayerNumber("ICE"));
}

TEST(DxfUnderlay, TextIsPlacedByItsAlignmentAndFrame) {
    Drawing d;
    d.entities = {
        {{0, "TEXT"}, {8, "0"}, {10, "1"}, {20, "2"}, {40, "5"}, {1, "左下"}},
        {{0, "TEXT"},
         {8, "0"},
         {10, "0"},
         {20, "0"},
         {11, "30"},
         {21, "40"},
         {40, "2"},
         {41, "0.5"},
         {50, "90"},
         {72, "1"},
         {73, "2"},
         {1, "%%c20"}},
        {{0, "TEXT"},
         {8, "0"},
         {10, "0"},
         {20, "0"},
         {11, "8"},
         {21, "0"},
         {40, "2"},
         {72, "5"},
         {1, "FIT"}},
    };
    const Opened o = Open(d);
    const auto& texts = o.U().texts;
    ASSERT_EQ(texts.size(), 3U);
    EXPECT_EQ(texts[0].utf8, "左下");
    ExpectNear(texts[0].origin, {1, 2}, "left");
    ExpectNear(texts[0].yAxis, {0, 5}, "left height");
    EXPECT_EQ(texts[1].utf8, "\u230020");
    ExpectNear(texts[1].origin, {30, 40}, "centred at the second point");
    ExpectNear(texts[1].xAxis, {0, 1}, "rotated, half width");
    ExpectNear(texts[1].yAxis, {-2, 0}, "rotated height");
    EXPECT_EQ(texts[1].hAlign, 1);
    EXPECT_EQ(texts[1].vAlign, 2);
    EXPECT_NEAR(texts[2].fitWidth * Length(texts[2].xAxis), 8.0, 1e-9);
}

TEST(DxfUnderlay, AttributesFollowTheirInsertAndInvisibleOnesAreLeftOut) {
    Drawing d;
    d.layers = {{"0", 7, 0}, {"EQ", 6, 0}};
    d.blocks = {{Block("B"), {Line({0, 0}, {1, 0})}}};
    Tags insert = Insert("B", {5, 5}, {{8, "EQ"}, {66, "1"}});
    d.entities = {insert,
                  {{0, "ATTRIB"},
                   {8, "0"},
                   {10, "5"},
                   {20, "3"},
                   {40, "1"},
                   {1, "機器1"},
                   {2, "NO"},
                   {70, "0"}},
                  {{0, "ATTRIB"},
                   {8, "0"},
                   {10, "5"},
                   {20, "1"},
                   {40, "1"},
                   {1, "秘密"},
                   {2, "X"},
                   {70, "1"}},
                  {{0, "SEQEND"}, {8, "0"}}};
    const Opened o = Open(d);
    ASSERT_EQ(o.U().texts.size(), 1U);
    EXPECT_EQ(o.U().texts[0].utf8, "機器1");
    const UnderlayItem& text = o.U().items.back();
    EXPECT_EQ(text.layer, o.LayerNumber("EQ"));
    EXPECT_EQ(text.colour, (Rgb{255, 0, 255}));
    EXPECT_EQ(o.read.report.beneathKinds.at("ATTRIB"), 1U);  // the invisible one is not shown
    EXPECT_EQ(o.read.report.beneathKinds.at("INSERT"), 1U);
}

TEST(DxfUnderlay, ShapesBecomePolylinesFillsAndSnapPoints) {
    Drawing d;
    d.entities = {
        // A polyline without width is the board's; with width it is added here.
        {{0, "POLYLINE"}, {8, "0"}, {66, "1"}, {70, "0"}},
        {{0, "VERTEX"}, {8, "0"}, {10, "0"}, {20, "0"}},
        {{0, "VERTEX"}, {8, "0"}, {10, "10"}, {20, "0"}},
        {{0, "SEQEND"}, {8, "0"}},
        {{0, "POLYLINE"}, {8, "0"}, {66, "1"}, {70, "0"}, {40, "2"}, {41, "2"}},
        {{0, "VERTEX"}, {8, "0"}, {10, "0"}, {20, "5"}},
        {{0, "VERTEX"}, {8, "0"}, {10, "10"}, {20, "5"}},
        {{0, "SEQEND"}, {8, "0"}},
        {{0, "SOLID"},
         {8, "0"},
         {10, "0"},
         {20, "0"},
         {11, "1"},
         {21, "0"},
         {12, "0"},
         {22, "1"},
         {13, "1"},
         {23, "1"}},
        {{0, "POINT"}, {8, "0"}, {10, "7"}, {20, "8"}},
    };
    const Opened o = Open(d);
    const auto& items = o.U().items;
    ASSERT_EQ(items.size(), 3U);
    EXPECT_EQ(items[0].kind, UnderlayKind::Polyline);
    EXPECT_FLOAT_EQ(items[0].width, 2.0F);
    EXPECT_EQ(items[1].kind, UnderlayKind::Fill);
    // SOLID corners 1 2 4 3 make a square, not a bow tie.
    const auto square = o.Points(1);
    ASSERT_EQ(square.size(), 4U);
    ExpectNear(square[2], {1, 1}, "third corner");
    EXPECT_EQ(items[2].kind, UnderlayKind::Point);
    bool pointSnap = false;
    for (const UnderlayPoint& p : o.U().snapPoints) pointSnap = pointSnap || p.point == Vec2{7, 8};
    EXPECT_TRUE(pointSnap);
}

TEST(DxfUnderlay, PolylineWidthsTaperAndAreOnlyAddedWhenWide) {
    Drawing d;
    d.entities = {
        // Thin: the board's alone.
        {{0, "LWPOLYLINE"}, {8, "0"}, {90, "2"}, {10, "0"}, {20, "0"}, {10, "10"}, {20, "0"}},
        // An arrowhead: from nothing to 2 wide, then an even segment 1 wide.
        {{0, "LWPOLYLINE"},
         {8, "0"},
         {90, "3"},
         {10, "0"},
         {20, "5"},
         {40, "0"},
         {41, "2"},
         {10, "10"},
         {20, "5"},
         {40, "1"},
         {41, "1"},
         {10, "20"},
         {20, "5"}},
    };
    const Opened o = Open(d);
    const auto& items = o.U().items;
    ASSERT_EQ(items.size(), 2U);
    EXPECT_EQ(items[0].kind, UnderlayKind::Fill);
    const auto quad = o.Points(0);
    ASSERT_EQ(quad.size(), 4U);
    ExpectNear(quad[0], {0, 5}, "tip");
    ExpectNear(quad[1], {10, 6}, "wide end, one side");
    ExpectNear(quad[2], {10, 4}, "wide end, other side");
    EXPECT_EQ(items[1].kind, UnderlayKind::Polyline);
    EXPECT_FLOAT_EQ(items[1].width, 1.0F);
    ExpectNear(o.Points(1).front(), {10, 5}, "even part");
}

TEST(DxfUnderlay, CurvesStayOnTheirShape) {
    Drawing d;
    d.entities = {
        {{0, "ELLIPSE"},
         {8, "0"},
         {10, "5"},
         {20, "5"},
         {11, "4"},
         {21, "0"},
         {40, "0.5"},
         {41, "0"},
         {42, "6.283185307179586"}},
        // A clamped cubic: it starts and ends at its end control points and stays in their hull.
        {{0, "SPLINE"},
         {8, "0"},
         {71, "3"},
         {40, "0"},
         {40, "0"},
         {40, "0"},
         {40, "0"},
         {40, "1"},
         {40, "1"},
         {40, "1"},
         {40, "1"},
         {10, "0"},
         {20, "0"},
         {10, "1"},
         {20, "2"},
         {10, "3"},
         {20, "2"},
         {10, "4"},
         {20, "0"}},
    };
    const Opened o = Open(d);
    ASSERT_EQ(o.U().items.size(), 2U);
    for (const Vec2& p : o.Points(0)) {
        const double x = (p.x - 5) / 4;
        const double y = (p.y - 5) / 2;
        EXPECT_NEAR(x * x + y * y, 1.0, 1e-9);
    }
    const auto spline = o.Points(1);
    ExpectNear(spline.front(), {0, 0}, "spline start");
    ExpectNear(spline.back(), {4, 0}, "spline end");
    for (const Vec2& p : spline) {
        EXPECT_GE(p.y, -1e-9);
        EXPECT_LE(p.y, 1.5 + 1e-9);  // the curve's top is 3/4 of the control points' height
    }
}

TEST(DxfUnderlay, ASelfInsertingBlockEndsAndPaperSpaceIsNoted) {
    Drawing d;
    d.blocks = {{Block("LOOP"), {Line({0, 0}, {1, 0}), Insert("LOOP", {1, 0})}}};
    d.entities = {Insert("LOOP", {0, 0}),
                  {{0, "TEXT"}, {8, "0"}, {67, "1"}, {10, "0"}, {20, "0"}, {40, "1"}, {1, "紙"}}};
    const Opened o = Open(d);
    EXPECT_GT(o.U().items.size(), 1U);
    EXPECT_LT(o.U().items.size(), 100U);
    EXPECT_TRUE(o.U().texts.empty());
    EXPECT_TRUE(o.read.report.paperSpace);
    EXPECT_NE(o.read.report.Summary().find("ペーパー空間"), std::string::npos);
}

// A 30000 x 30000 array of a block of nested arrays that draw nothing ends within the budget.
TEST(DxfUnderlay, HugeArraysOfEmptyBlocksEnd) {
    Drawing d;
    d.blocks = {{Block("EMPTY"), {Tags{{0, "POINT"}, {8, "0"}, {10, "1e300"}, {20, "0"}}}},
                {Block("MID"), {Insert("EMPTY", {0, 0}, {{70, "30000"}, {71, "30000"}})}}};
    d.entities = {Insert("MID", {0, 0}, {{70, "30000"}, {71, "30000"}}), Line({0, 0}, {1, 1})};
    const Opened o = Open(d);
    EXPECT_GT(o.U().dropped, 0U);
}

// A leader's arrowhead is a closed filled triangle at its first vertex, as long as its dimension
// style's arrow size times overall scale: the entity's own overrides, else its style's, else the
// header's, else 0.18 x 1; none when its arrow flag is 0. Rows: the header, the style and the
// overrides, the arrow length expected along a first segment of 100 pointing +x.
struct LeaderArrowRow {
    const char* name;
    std::string header;
    bool styleTable;  // a style "BIG" with arrow 5 and scale 2
    Tags leader;      // beyond the points
    double expected;  // 0: no arrow
};
void PrintTo(const LeaderArrowRow& row, std::ostream* out) { *out << row.name; }
class DxfLeaderArrows : public testing::TestWithParam<LeaderArrowRow> {};

TEST_P(DxfLeaderArrows, AreSizedByTheirStyle) {
    const LeaderArrowRow& row = GetParam();
    Drawing d;
    d.header = row.header;
    if (row.styleTable) {
        d.tables = Record({{0, "TABLE"},
                           {2, "DIMSTYLE"},
                           {70, "1"},
                           {0, "DIMSTYLE"},
                           {2, "big"},
                           {70, "0"},
                           {40, "2"},
                           {41, "5"},
                           {0, "ENDTAB"}});
    }
    Tags leader{{0, "LEADER"}, {8, "0"}, {76, "2"}, {10, "0"}, {20, "0"}, {10, "100"}, {20, "0"}};
    leader.insert(leader.end(), row.leader.begin(), row.leader.end());
    d.entities = {leader};
    const Opened o = Open(d);
    std::vector<Vec2> arrow;
    for (std::size_t i = 0; i < o.U().items.size(); ++i) {
        if (o.U().items[i].kind == UnderlayKind::Fill) arrow = o.Points(i);
    }
    if (row.expected == 0.0) {
        EXPECT_TRUE(arrow.empty());
        return;
    }
    ASSERT_EQ(arrow.size(), 3U);
    ExpectNear(arrow[0], {0, 0}, "tip");
    ExpectNear(arrow[1], {row.expected, row.expected / 6.0}, "one barb");
    ExpectNear(arrow[2], {row.expected, -row.expected / 6.0}, "other barb");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfLeaderArrows,
    testing::Values(
        LeaderArrowRow{"default", "", false, {}, 0.18},
        LeaderArrowRow{"header",
                       Record({{9, "$DIMASZ"}, {40, "2.5"}, {9, "$DIMSCALE"}, {40, "4"}}),
                       false,
                       {},
                       10.0},
        LeaderArrowRow{"header scale 0 is 1",
                       Record({{9, "$DIMASZ"}, {40, "3"}, {9, "$DIMSCALE"}, {40, "0"}}),
                       false,
                       {},
                       3.0},
        LeaderArrowRow{
            "style over header", Record({{9, "$DIMASZ"}, {40, "2.5"}}), true, {{3, "BIG"}}, 10.0},
        LeaderArrowRow{"unknown style takes the header",
                       Record({{9, "$DIMASZ"}, {40, "1.25"}}),
                       true,
                       {{3, "NONE"}},
                       1.25},
        LeaderArrowRow{"own overrides",
                       "",
                       true,
                       {{3, "BIG"},
                        {1001, "ACAD"},
                        {1000, "DSTYLE"},
                        {1002, "{"},
                        {1070, "41"},
                        {1040, "1.5"},
                        {1070, "40"},
                        {1040, "3"},
                        {1002, "}"}},
                       4.5},
        LeaderArrowRow{"at most half the first segment",
                       Record({{9, "$DIMASZ"}, {40, "80"}}),
                       false,
                       {},
                       50.0},
        LeaderArrowRow{"flag 0", "", true, {{3, "BIG"}, {71, "0"}}, 0.0}),
    [](const testing::TestParamInfo<LeaderArrowRow>& row) {
        std::string name = row.param.name;
        for (char& c : name) {
            if (std::isalnum(static_cast<unsigned char>(c)) == 0) c = '_';
        }
        return name;
    });

TEST(DxfUnderlay, LinetypesScaleWithTheHeaderTheEntityAndTheInsert) {
    Drawing d;
    d.blocks = {{Block("B"),
                 {Tags{{0, "LINE"},
                       {8, "0"},
                       {6, "DASHED"},
                       {48, "2"},
                       {10, "0"},
                       {20, "0"},
                       {11, "1"},
                       {21, "0"}}}}};
    d.entities = {Insert("B", {0, 0}, {{41, "3"}, {42, "3"}})};
    const Opened o = Open(d);
    ASSERT_EQ(o.U().items.size(), 1U);
    ASSERT_NE(o.U().items[0].dash, kNoUnderlayIndex);
    EXPECT_EQ(o.U().dashes[o.U().items[0].dash], (std::vector<double>{12.0, -6.0}));
}

// The board's own lines and arcs taken from a file get their linetype by the rule the underlay
// follows: the same entity drawn through a block at scale 1 gets the same pattern, entity for
// entity; entities the board adds later take their layer's.
struct BoardLinetypeRow {
    const char* name;
    Tags entity;                                  // on layer "0" unless it names one
    std::optional<std::vector<double>> expected;  // none: solid
};

void PrintTo(const BoardLinetypeRow& row, std::ostream* out) { *out << row.name; }

class DxfBoardLinetypes : public ::testing::TestWithParam<BoardLinetypeRow> {};

TEST_P(DxfBoardLinetypes, FollowTheUnderlaysRule) {
    const BoardLinetypeRow& row = GetParam();
    Drawing d;
    d.dashedLayer = "DASHES";
    d.header = Record({{9, "$LTSCALE"}, {40, "1.5"}});
    d.blocks = {{Block("SAME"), {row.entity}}};
    d.entities = {row.entity, Insert("SAME", {0, 0})};
    const Opened o = Open(d);
    const auto& source = *o.read.source;
    ASSERT_FALSE(o.read.content.entities.empty());
    const auto dashes = source.EntityDashes();
    // Every segment of the entity, and the same entity beneath through the insert.
    std::vector<std::optional<std::vector<double>>> seen;
    for (std::size_t i = 0; i < o.read.content.entities.size(); ++i) {
        ASSERT_LT(i, dashes.size());
        seen.emplace_back(dashes[i] == DocumentSource::kSolidLine
                              ? std::nullopt
                              : std::optional(source.DashPatterns()[dashes[i]]));
    }
    for (const UnderlayItem& item : o.U().items) {
        if (item.kind != UnderlayKind::Polyline) continue;
        seen.emplace_back(item.dash == kNoUnderlayIndex ? std::nullopt
                                                        : std::optional(o.U().dashes[item.dash]));
    }
    ASSERT_GE(seen.size(), 2U);
    for (const auto& dash : seen) EXPECT_EQ(dash, row.expected) << row.name;
    // Added entities follow their layer.
    const std::uint32_t layerDash = source.LayerDash(o.LayerNumber("DASHES"));
    ASSERT_NE(layerDash, DocumentSource::kSolidLine);
    EXPECT_EQ(source.DashPatterns()[layerDash], (std::vector<double>{3.0, -1.5}));
    EXPECT_EQ(source.LayerDash(o.LayerNumber("0")), DocumentSource::kSolidLine);
}

Tags WithTags(Tags tags, const Tags& more) {
    tags.insert(tags.begin() + 1, more.begin(), more.end());
    return tags;
}

Tags Arc(const std::string& layer, Tags more = {}) {
    return WithTags(
        {{0, "ARC"}, {8, layer}, {10, "5"}, {20, "5"}, {40, "4"}, {50, "10"}, {51, "200"}}, more);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DxfBoardLinetypes,
    ::testing::Values(
        BoardLinetypeRow{"OwnLinetypeScaledByHeaderAndEntity",
                         WithTags(Line({0, 0}, {9, 0}), {{6, "DASHED"}, {48, "2"}}),
                         std::vector<double>{6.0, -3.0}},
        BoardLinetypeRow{"ByLayer", Line({0, 0}, {9, 0}, "DASHES"), std::vector<double>{3.0, -1.5}},
        BoardLinetypeRow{"ContinuousOnADashedLayer",
                         WithTags(Line({0, 0}, {9, 0}, "DASHES"), {{6, "CONTINUOUS"}}),
                         std::nullopt},
        BoardLinetypeRow{"ArcByLayerInLowerCase", WithTags(Arc("dashes"), {{6, "ByLayer"}}),
                         std::vector<double>{3.0, -1.5}},
        BoardLinetypeRow{
            "CircleOwnLinetype",
            Tags{{0, "CIRCLE"}, {8, "0"}, {6, "dashed"}, {10, "1"}, {20, "1"}, {40, "3"}},
            std::vector<double>{3.0, -1.5}},
        BoardLinetypeRow{
            "PolylineSegmentsShareTheirs",
            Tags{{0, "POLYLINE"}, {8, "0"},      {6, "DASHED"}, {48, "0.5"}, {66, "1"},
                 {70, "1"},       {0, "VERTEX"}, {8, "0"},      {10, "0"},   {20, "0"},
                 {42, "0.5"},     {0, "VERTEX"}, {8, "0"},      {10, "4"},   {20, "0"},
                 {0, "VERTEX"},   {8, "0"},      {10, "4"},     {20, "3"},   {0, "SEQEND"}},
            std::vector<double>{1.5, -0.75}}),
    [](const auto& row) { return std::string(row.param.name); });

// A 3-D polyline is drawn beneath (the board takes only flat ones): the summary counts it as
// shown, not as left out.
TEST(DxfUnderlay, ThreeDimensionalPolylinesCountAsShown) {
    Drawing d;
    d.entities = {Tags{{0, "POLYLINE"},
                       {8, "0"},
                       {66, "1"},
                       {70, "8"},
                       {0, "VERTEX"},
                       {8, "0"},
                       {10, "0"},
                       {20, "0"},
                       {30, "1"},
                       {70, "32"},
                       {0, "VERTEX"},
                       {8, "0"},
                       {10, "5"},
                       {20, "5"},
                       {30, "2"},
                       {70, "32"},
                       {0, "SEQEND"}}};
    const Opened o = Open(d);
    ASSERT_EQ(o.U().items.size(), 1U);
    const std::string summary = o.read.report.Summary();
    EXPECT_EQ(summary.find("表示しない"), std::string::npos) << summary;
    EXPECT_NE(summary.find("1 個は線の下に表示します"), std::string::npos) << summary;
}

// A pattern hatch: its boundary, and the pattern's lines inside it, even-odd (a hole stays
// empty), dashed by the pattern.
TEST(DxfUnderlay, HatchPatternLinesFillTheBoundaryEvenOdd) {
    const auto ring = [](double a, double b) {
        return Tags{{92, "2"},
                    {72, "0"},
                    {73, "1"},
                    {93, "4"},
                    {10, std::to_string(a)},
                    {20, std::to_string(a)},
                    {10, std::to_string(b)},
                    {20, std::to_string(a)},
                    {10, std::to_string(b)},
                    {20, std::to_string(b)},
                    {10, std::to_string(a)},
                    {20, std::to_string(b)},
                    {97, "0"}};
    };
    struct Row {
        const char* name;
        bool hole;
        Tags dashes;
        std::size_t segments;  // in the pattern's item
    };
    const std::vector<Row> rows = {
        {"solid lines, y = 1 3 5 7 9", false, {{79, "0"}}, 5},
        {"a hole cuts y = 3 5 7 in two", true, {{79, "0"}}, 8},
        {"dashes 2 on, 1 off over 10", false, {{79, "2"}, {49, "2"}, {49, "-1"}}, 5 * 4},
    };
    for (const Row& row : rows) {
        Tags hatch{{0, "HATCH"}, {8, "0"}, {2, "LINES"}, {70, "0"}, {91, row.hole ? "2" : "1"}};
        const Tags outer = ring(0, 10);
        hatch.insert(hatch.end(), outer.begin(), outer.end());
        if (row.hole) {
            const Tags inner = ring(2, 8);
            hatch.insert(hatch.end(), inner.begin(), inner.end());
        }
        const Tags pattern{{75, "0"}, {76, "1"}, {52, "0"}, {41, "1"}, {77, "0"}, {78, "1"},
                           {53, "0"}, {43, "0"}, {44, "1"}, {45, "0"}, {46, "2"}};
        hatch.insert(hatch.end(), pattern.begin(), pattern.end());
        hatch.insert(hatch.end(), row.dashes.begin(), row.dashes.end());
        hatch.push_back({98, "0"});
        Drawing d;
        d.entities = {hatch};
        const Opened o = Open(d);
        const auto& items = o.U().items;
        ASSERT_FALSE(items.empty()) << row.name;
        EXPECT_EQ(items.front().kind, UnderlayKind::Polyline) << row.name;  // the boundary
        ASSERT_EQ(items.back().kind, UnderlayKind::Segments) << row.name;
        const auto points = o.Points(items.size() - 1);
        EXPECT_EQ(points.size(), 2 * row.segments) << row.name;
        for (std::size_t k = 0; k + 1 < points.size(); k += 2) {
            const Vec2 mid = 0.5 * (points[k] + points[k + 1]);
            EXPECT_TRUE(mid.x > 0 && mid.x < 10) << row.name;
            EXPECT_TRUE(!row.hole || mid.x < 2 || mid.x > 8 || mid.y < 2 || mid.y > 8) << row.name;
            EXPECT_NEAR(std::fmod(points[k].y, 2.0), 1.0, 1e-9) << row.name;
        }
    }
}

}  // namespace
}  // namespace pelimator::board

namespace pelimator::board {
namespace {

// A HATCH of `families` solid line families one unit apart inside a regular polygon of
// `corners` corners about the origin.
Tags PatternHatch(int corners, double radius, int families) {
    Tags hatch{{0, "HATCH"}, {8, "0"},  {2, "LINES"},
               {70, "0"},    {91, "1"}, {92, "2"},
               {72, "0"},    {73, "1"}, {93, std::to_string(corners)}};
    for (int k = 0; k < corners; ++k) {
        const double a = 2.0 * std::numbers::pi * k / corners;
        hatch.push_back({10, std::to_string(radius * std::cos(a))});
        hatch.push_back({20, std::to_string(radius * std::sin(a))});
    }
    hatch.insert(hatch.end(), {{97, "0"},
                               {75, "0"},
                               {76, "1"},
                               {52, "0"},
                               {41, "1"},
                               {77, "0"},
                               {78, std::to_string(families)}});
    for (int f = 0; f < families; ++f) {
        const double a = 9.0 * f * std::numbers::pi / 180.0;
        hatch.insert(hatch.end(), {{53, std::to_string(9.0 * f)},
                                   {43, "0"},
                                   {44, "0"},
                                   {45, std::to_string(-std::sin(a))},
                                   {46, std::to_string(std::cos(a))},
                                   {79, "0"}});
    }
    hatch.push_back({98, "0"});
    return hatch;
}

// Block B holding body, inserted by one MINSERT of n x n copies 2000 units apart.
Drawing Array(const std::vector<Tags>& body, int n) {
    Drawing d;
    d.blocks = {{{{0, "BLOCK"}, {2, "B"}, {70, "0"}, {10, "0"}, {20, "0"}}, body}};
    d.entities = {{{0, "INSERT"},
                   {2, "B"},
                   {10, "0"},
                   {20, "0"},
                   {70, std::to_string(n)},
                   {71, std::to_string(n)},
                   {44, "2000"},
                   {45, "2000"}}};
    return d;
}

// Work is bounded by what is generated: arrays of heavy patterns or text stop at the limit, say
// so, and keep what they drew; a drafter's ordinary array is drawn whole.
TEST(DxfUnderlay, WorkStopsAtTheLimitAndTheReportSaysWhatWasLeftOut) {
    struct Row {
        const char* name;
        Drawing drawing;
        bool leftOut;
        std::size_t items;  // when drawn whole
    };
    const std::vector<Row> rows = {
        {"hatch pattern bomb: 2000 corners, 20 families, 20 x 20",
         Array({PatternHatch(2000, 300.0, 20)}, 20), true, 0},
        {"MTEXT of 300,000 characters wrapped one a line, 10 x 10",
         Array({{{0, "MTEXT"}, {8, "0"}, {40, "1"}, {41, "1"}, {1, std::string(300'000, 'a')}}},
               10),
         true, 0},
        {"a drafter's array: a hatched square, 20 x 20", Array({PatternHatch(4, 10.0, 2)}, 20),
         false, 20 * 20 * 2},
    };
    for (const Row& row : rows) {
        const std::string text = row.drawing.Text();
        const DxfReadResult read = ReadDxfText(text, "test.dxf");
        ASSERT_TRUE(read.underlay != nullptr) << row.name;
        const Underlay& u = *read.underlay;
        EXPECT_LE(u.points.size() + u.snapPoints.size(), DxfUnderlayWorkLimit(text.size()))
            << row.name;
        const std::string summary = read.report.Summary();
        if (row.leftOut) {
            EXPECT_EQ(read.report.leftOutKinds, (std::map<std::string, std::size_t>{{"INSERT", 1}}))
                << row.name;
            EXPECT_NE(summary.find("上限"), std::string::npos) << row.name << ": " << summary;
            EXPECT_FALSE(u.items.empty()) << row.name << ": what was drawn is kept";
        } else {
            EXPECT_TRUE(read.report.leftOutKinds.empty()) << row.name;
            EXPECT_EQ(u.items.size(), row.items) << row.name;
            EXPECT_EQ(summary.find("上限"), std::string::npos) << row.name << ": " << summary;
        }
    }
}

}  // namespace
}  // namespace pelimator::board
