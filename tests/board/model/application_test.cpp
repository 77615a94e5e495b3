// The application, its documents, layers, scale and the factory, as the tool's start-up uses them.
#include "board/model/application.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "board/model/curve.h"
#include "board/model/factory.h"
#include "board/model/tool_object.h"
#include "host/errors.h"
#include "host/point_list.h"

namespace pelimator::board {
namespace {

TEST(BoardApplication, StartUpSequenceOfTheToolWorks) {
    auto app = BoardApplication::Create();
    BoardFactory factory(app);
    auto host = factory.CreateApplication();
    EXPECT_EQ(host, app);  // the running board itself
    std::vector<ApplicationChange> heard;
    app->AddObserver([&](ApplicationChange change, const BoardDocumentPtr& /*document*/) {
        heard.push_back(change);
    });
    host->SetVisible(true);
    EXPECT_TRUE(host->Visible());
    EXPECT_EQ(host->ActiveDocument(), nullptr);
    ASSERT_EQ(host->Documents()->Count(), 0);
    auto added = host->Documents()->Add("テスト図面");
    EXPECT_EQ(host->ActiveDocument(), added);
    host->ActiveDocument()->Activate();
    EXPECT_EQ(app->Active()->Name(), "テスト図面");
    const std::vector<ApplicationChange> expected{ApplicationChange::Visibility,
                                                  ApplicationChange::DocumentAdded,
                                                  ApplicationChange::DocumentActivated};
    EXPECT_EQ(heard, expected);
}

TEST(BoardApplication, NewDocumentIsEmptyWithLayerZeroCurrentAndScaleOneToOne) {
    auto app = BoardApplication::Create();
    auto document = app->AddDocument("a");
    EXPECT_EQ(document->DrawingModel()->Count(), 0U);
    EXPECT_FALSE(document->DrawingModel()->IsModified());
    EXPECT_EQ(document->CurrentAttributes()->Layer(), 0);
    EXPECT_EQ(document->Layers()->IndexOf(0), 0);
    EXPECT_EQ(document->LayerTable()->At(0).name, "0");
    EXPECT_EQ(document->Scale()->Numerator(), 1);
    EXPECT_EQ(document->Scale()->Denominator(), 1);
    EXPECT_EQ(document->View()->Document(), document);
}

TEST(BoardApplication, ActivateSwitchesAndClosingTheActivePicksANeighbour) {
    auto app = BoardApplication::Create();
    auto a = app->AddDocument("a");
    auto b = app->AddDocument("b");
    auto c = app->AddDocument("c");
    a->Activate();
    EXPECT_EQ(app->Active(), a);
    b->Activate();
    app->RemoveDocument(1);
    EXPECT_EQ(app->Active(), a);
    EXPECT_EQ(app->DocumentCount(), 2U);
    EXPECT_THROW(b->Activate(), HostError);
    app->RemoveDocument(0);
    EXPECT_EQ(app->Active(), c);
    app->RemoveDocument(0);
    EXPECT_EQ(app->Active(), nullptr);
}

struct HostFailureRow {
    const char* name;
    std::function<void(BoardApplication&, BoardDocument&)> act;
};

void PrintTo(const HostFailureRow& row, std::ostream* os) { *os << row.name; }

class HostFailure : public ::testing::TestWithParam<HostFailureRow> {};

TEST_P(HostFailure, RaisesHostErrorAndChangesNothing) {
    auto app = BoardApplication::Create();
    auto document = app->AddDocument("a");
    EXPECT_THROW(GetParam().act(*app, *document), HostError);
    EXPECT_EQ(app->DocumentCount(), 1U);
    EXPECT_EQ(document->Scale()->Numerator(), 1);
    EXPECT_EQ(document->Scale()->Denominator(), 1);
    EXPECT_EQ(document->LayerTable()->Count(), 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HostFailure,
    ::testing::Values(
        HostFailureRow{"ScaleNumeratorZero",
                       [](BoardApplication&, BoardDocument& d) { d.Scale()->SetNumerator(0); }},
        HostFailureRow{
            "ScaleDenominatorNegative",
            [](BoardApplication&, BoardDocument& d) { d.Scale()->SetDenominator(-100); }},
        HostFailureRow{"LayerNumberThatExists",
                       [](BoardApplication&, BoardDocument& d) { d.Layers()->Add(0, "x", 0); }},
        HostFailureRow{"RemoveLayerZero",
                       [](BoardApplication&, BoardDocument& d) { d.LayerTable()->Remove(0); }},
        HostFailureRow{
            "RenameMissingLayer",
            [](BoardApplication&, BoardDocument& d) { d.LayerTable()->SetName(5, "x"); }},
        HostFailureRow{"LayerItemOutOfRange",
                       [](BoardApplication&, BoardDocument& d) { (void)d.LayerTable()->At(1); }},
        HostFailureRow{"DocumentItemOutOfRange",
                       [](BoardApplication& a, BoardDocument&) {
                           auto documents =
                               std::dynamic_pointer_cast<BoardDocuments>(a.Documents());
                           (void)documents->Item(1);
                       }},
        HostFailureRow{"RemoveMissingDocument",
                       [](BoardApplication& a, BoardDocument&) {
                           auto documents =
                               std::dynamic_pointer_cast<BoardDocuments>(a.Documents());
                           documents->Remove(-1);
                       }},
        HostFailureRow{"ViewTransformWithZeroZoom",
                       [](BoardApplication&, BoardDocument& d) {
                           ViewTransform transform;
                           transform.pixelsPerUnit = 0;
                           d.View()->SetTransform(transform);
                       }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(BoardLayers, IndexOfAddAndEditsAsTheToolAndWindowUseThem) {
    auto app = BoardApplication::Create();
    auto document = app->AddDocument("a");
    auto layers = document->Layers();
    EXPECT_EQ(layers->IndexOf(7), -1);
    auto seven = layers->Add(7, "壁", 0);
    EXPECT_EQ(seven->Number(), 7);
    EXPECT_EQ(seven->Name(), "壁");
    EXPECT_EQ(layers->IndexOf(7), 1);
    EXPECT_EQ(layers->Add(-3, "", 0)->Name(), "-3");
    auto table = document->LayerTable();
    table->SetColour(7, {255, 0, 0});
    table->SetVisible(7, false);
    EXPECT_FALSE(table->IsShown(7));
    EXPECT_TRUE(table->IsShown(99));  // entities on a missing layer are still drawn
    EXPECT_EQ(table->Find(7)->colour, (Rgb{255, 0, 0}));
    EXPECT_TRUE(document->DrawingModel()->IsModified());
    table->Remove(7);
    EXPECT_EQ(layers->IndexOf(7), -1);
    EXPECT_THROW((void)seven->Name(), HostError);
}

TEST(BoardFactory, MakesFreeStandingObjectsAndCurvesFollowTheDrawingScale) {
    auto app = BoardApplication::Create();
    BoardFactory factory(app);
    EXPECT_THROW(BoardFactory(nullptr), HostError);
    auto line = factory.CreateLine();
    auto arc = factory.CreateArc();
    EXPECT_NE(factory.CreateLine(), line);
    EXPECT_EQ(AsBoardEntity(*arc)->Data().kind, EntityKind::Arc);
    EXPECT_EQ(factory.CreatePointList()->Count(), 0);
    auto tool = factory.CreateTool();
    EXPECT_NE(std::dynamic_pointer_cast<BoardToolObject>(tool), nullptr);

    auto document = app->AddDocument("a");
    auto curve = std::dynamic_pointer_cast<BoardCurve>(factory.CreateCurve());
    ASSERT_NE(curve, nullptr);
    EXPECT_DOUBLE_EQ(curve->Tolerance(), 0.01);
    document->Scale()->SetDenominator(50);
    EXPECT_DOUBLE_EQ(curve->Tolerance(), 0.5);
    document->Scale()->SetNumerator(2);
    EXPECT_DOUBLE_EQ(curve->Tolerance(), 0.25);
}

}  // namespace
}  // namespace pelimator::board
