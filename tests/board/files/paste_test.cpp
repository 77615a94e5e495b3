// Pasting what one drawing holds into another: true size across units, layers by name, one step.
#include <cmath>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/dxf/dxf_test_support.h"
#include "board/files/drawing_file.h"
#include "board/model/clip.h"
#include "board/model/selection.h"
#include "support/real_corpus.h"
#include "support/temp_dir.h"

namespace pelimator::board {
namespace {

using testing::TempDir;

struct UnitRow {
    const char* name;
    int sourceUnit;  // $INSUNITS of the copied drawing
    int targetUnit;  // of the drawing pasted into
    double length;   // the pasted 2-unit line's length in target units
    double radius;   // the pasted radius-1 arc's
};

constexpr UnitRow kUnitRows[] = {
    {"MetresIntoMillimetres", 6, 4, 2000.0, 1000.0},
    {"MillimetresIntoMetres", 4, 6, 0.002, 0.001},
    {"InchesIntoMillimetres", 1, 4, 50.8, 25.4},
    {"NoUnitIntoCentimetres", 0, 5, 0.2, 0.1},
    {"FeetIntoInches", 2, 1, 24.0, 12.0},
};

class PasteUnits : public ::testing::TestWithParam<UnitRow> {};

TEST_P(PasteUnits, PastedAtTrueSizeOnTheLayerOfTheSameName) {
    const UnitRow& row = GetParam();
    TempDir dir;
    testing::WriteText(dir.File("s.dxf"), "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n" +
                                              std::to_string(row.sourceUnit) +
                                              "\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n"
                                              "0\nLINE\n8\n壁\n10\n1\n20\n1\n11\n3\n21\n1\n"
                                              "0\nARC\n8\n0\n10\n1\n20\n1\n40\n1\n50\n0\n51\n90\n"
                                              "0\nENDSEC\n0\nEOF\n");
    const auto application = BoardApplication::Create();
    const BoardDocumentPtr source = OpenDrawing(*application, dir.File("s.dxf")).document;
    const BoardDocumentPtr target = application->AddDocument("t");
    target->SetUnitCode(row.targetUnit);
    const DrawingClip clip = ClipSelection(*source, PickAll(*source), {1.0, 1.0});
    const PasteResult result = PasteClip(*target, clip, {10.0, 20.0}, PasteLayer::SameName);
    ASSERT_EQ(result.pasted.entities.size(), 2U);
    EXPECT_EQ(result.madeLayers, std::vector<std::string>{"壁"});
    const auto entities = target->DrawingModel()->Entities();
    const EntityData& line = entities[result.pasted.entities[0]];
    const EntityData& arc = entities[result.pasted.entities[1]];
    const auto near = [](double a, double b) {
        return std::abs(a - b) <= 1e-9 * (1 + std::abs(b));
    };
    // The reference point (1, 1) lands on (10, 20): the line starts there, the arc is centred.
    EXPECT_TRUE(near(line.start.x, 10.0) && near(line.start.y, 20.0));
    EXPECT_TRUE(near(line.end.x, 10.0 + row.length) && near(line.end.y, 20.0));
    EXPECT_TRUE(near(arc.center.x, 10.0) && near(arc.center.y, 20.0));
    EXPECT_TRUE(near(arc.radius, row.radius)) << arc.radius;
    EXPECT_EQ(target->LayerTable()->Find(line.layer)->name, "壁");
    EXPECT_EQ(target->LayerTable()->Find(arc.layer)->name, "0");
    // One step: undone, the drawing and its layers are as they were.
    target->DrawingModel()->Undo();
    EXPECT_EQ(target->DrawingModel()->Count(), 0U);
    EXPECT_EQ(target->LayerTable()->Count(), 1U);
}

INSTANTIATE_TEST_SUITE_P(Units, PasteUnits, ::testing::ValuesIn(kUnitRows),
                         [](const auto& row) { return std::string(row.param.name); });

// Every real drawing pasted whole into a new drawing (millimetres) away from where it was, saved
// as DXF and read back: each line and arc at its true size and place (the copied drawing's own
// entity scaled by its layer's millimetres and moved by the paste), on a layer of the same name
// and colour, and reading the saved file gives them so.
TEST(PasteRealDrawings, EveryDrawingPastesWholeIntoANewDxf) {
    PELIMATOR_REQUIRE_REAL_CORPUS();
    TempDir dir;
    std::size_t pasted = 0;
    auto files = pelimator::testing::RealDrawings("real-dxf", ".dxf");
    for (const auto& jww : pelimator::testing::RealDrawings("real-jww", ".jww"))
        files.push_back(jww);
    const Vec2 base{3.0, -4.0};  // in the copied drawing's units
    const Vec2 at{-250.0, 125.5};
    for (const auto& path : files) {
        SCOPED_TRACE(path.filename().string());
        const auto application = BoardApplication::Create();
        BoardDocumentPtr source;
        try {
            source = OpenDrawing(*application, path.string()).document;
        } catch (const std::exception&) {
            continue;  // damaged on purpose: opening it is another test's business
        }
        const Selection all = PickAll(*source);
        const DrawingClip clip = ClipSelection(*source, all, base);
        if (clip.entities.empty()) continue;
        const BoardDocumentPtr target = application->AddDocument("t");
        const PasteResult result = PasteClip(*target, clip, at, PasteLayer::SameName);
        ASSERT_EQ(result.pasted.entities.size(), all.entities.size());
        const double baseMillimetres =
            MillimetresPerUnit(*source, source->CurrentAttributesModel()->Layer());
        const auto near = [](Vec2 a, Vec2 b) {
            return Distance(a, b) <= 1e-6 * (1.0 + Length(a) + Length(b));
        };
        const auto a = target->DrawingModel()->Entities();
        for (std::size_t k = 0; k < all.entities.size(); ++k) {
            const EntityData& was = source->DrawingModel()->Entities()[all.entities[k]];
            const EntityData& now = a[result.pasted.entities[k]];
            const double f = MillimetresPerUnit(*source, was.layer);
            const auto placed = [&](Vec2 p) { return at + (f * p - baseMillimetres * base); };
            ASSERT_EQ(now.kind, was.kind) << k;
            ASSERT_TRUE(near(now.start, placed(was.start)) && near(now.end, placed(was.end))) << k;
            if (was.kind == EntityKind::Arc) {
                ASSERT_TRUE(near(now.center, placed(was.center))) << k;
                ASSERT_NEAR(now.radius, f * was.radius, 1e-9 * (1.0 + f * was.radius)) << k;
            }
            const LayerData& layer = *target->LayerTable()->Find(now.layer);
            const LayerData& wasLayer = *source->LayerTable()->Find(was.layer);
            ASSERT_EQ(layer.name, wasLayer.name) << k;
            // A layer the paste made takes the copied layer's colour.
            if (layer.name != "0") {
                ASSERT_EQ(layer.colour, wasLayer.colour) << layer.name;
            }
        }
        const std::string saved = dir.File("p.dxf");
        SaveDrawing(*target, saved);
        const BoardDocumentPtr back = OpenDrawing(*application, saved).document;
        ASSERT_EQ(back->DrawingModel()->Count(), target->DrawingModel()->Count());
        const auto b = back->DrawingModel()->Entities();
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_EQ(a[i].kind, b[i].kind) << i;
            ASSERT_TRUE(near(a[i].start, b[i].start) && near(a[i].end, b[i].end)) << i;
        }
        pasted += a.size();
    }
    EXPECT_GT(pasted, 0U);
    std::cout << "pasted " << pasted << " entities of " << files.size() << " drawings\n";
}

}  // namespace
}  // namespace pelimator::board
