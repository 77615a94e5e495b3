// A board window with a few lines and arcs, its file menu and a simple picking tool, for looking
// at the board by hand (screenshots, trying the mouse and keys, opening files). Not a test.
#include <QApplication>
#include <cmath>
#include <memory>
#include <vector>

#include "board/model/application.h"
#include "board/model/curve.h"
#include "board/model/entity.h"
#include "board/model/tool_object.h"
#include "board/ui/board_window.h"
#include "board/ui/window_file_menu.h"
#include "host/point_list.h"

using namespace pelimator;
using namespace pelimator::board;

namespace {

// Picks points, marks them and shows a smooth band through them and the cursor; Esc stops.
class DemoPicker final : public host::HostToolEvents {
public:
    explicit DemoPicker(std::shared_ptr<BoardToolObject> tool) : m_tool(std::move(tool)) {}

    void RapidTool_Connect(const host::HostViewPtr&) override {}
    void RapidTool_DisConnect(const host::HostViewPtr&) override { m_points.clear(); }
    void RapidTool_IsSnapOperation(std::int16_t& bSnap) override { bSnap = -1; }
    void RapidTool_LButtonDown(const host::HostViewPtr& vw, const host::HostPointPtr& p) override {
        m_points.push_back({p->X(), p->Y()});
        m_tool->AddMark(1, *p, vw->Document());
    }
    void RapidTool_LButtonDblck(const host::HostViewPtr& vw, const host::HostPointPtr& p) override {
        RapidTool_LButtonDown(vw, p);
        m_points.clear();
        m_tool->ClearMarks();
    }
    void RapidTool_KeyDown(const host::HostViewPtr&, std::int16_t key, std::int16_t) override {
        if (key == kKeyEscape) m_tool->Stop();
    }
    void RapidTool_BackOperation(const host::HostViewPtr&) override {
        if (m_points.empty()) return;
        m_points.pop_back();
        m_tool->RemoveMark();
    }
    void RapidTool_MouseMove(const host::HostViewPtr&, const host::HostPointPtr& p) override {
        if (m_points.empty()) return;
        host::PlainPointList list;
        for (const Vec2& q : m_points) list.Add(q.x, q.y);
        list.Add(p->X(), p->Y());
        m_curve = std::make_shared<BoardCurve>();
        m_curve->SetTolerance(0.05);
        m_curve->SetPoints(2, list);
    }
    void RapidTool_RubberDisp(const host::HostViewPtr&) override {
        if (!m_points.empty() && m_curve) m_tool->ShowRubber(m_curve);
    }

private:
    std::shared_ptr<BoardToolObject> m_tool;
    std::vector<Vec2> m_points;
    std::shared_ptr<BoardCurve> m_curve;
};

void AddSample(BoardDocument& document) {
    BoardLayers& layers = *document.LayerTable();
    layers.Add(1, "外形", 0);
    layers.SetColour(1, {0, 90, 200});
    layers.Add(2, "波線", 0);
    layers.SetColour(2, {200, 30, 30});
    layers.Add(3, "補助線", 0);
    layers.SetColour(3, {255, 255, 0});  // yellow: drawn darker to be seen on white
    BoardDrawing& drawing = *document.DrawingModel();
    drawing.BeginEdit("外形追加");
    drawing.AddEntity(MakeLine({0, 0}, {240, 0}, 1));
    drawing.AddEntity(MakeLine({240, 0}, {240, 150}, 1));
    drawing.AddEntity(MakeLine({240, 150}, {0, 150}, 1));
    drawing.AddEntity(MakeLine({0, 150}, {0, 0}, 1));
    drawing.AddEntity(MakeArc({180, 90}, {210, 90}, {210, 90}, 1));
    drawing.AddEntity(MakeLine({20, 20}, {220, 130}, 3));
    drawing.EndEdit(true);
    drawing.BeginEdit("波線追加");
    for (int i = 0; i < 24; ++i) {
        const double x = 20.0 + i * 8.0;
        const Vec2 c{x + 4.0, 40.0};
        if (i % 2 == 0) {
            drawing.AddEntity(MakeArc(c, {x + 8.0, 40.0}, {x, 40.0}, 2));
        } else {
            drawing.AddEntity(MakeArc(c, {x, 40.0}, {x + 8.0, 40.0}, 2));
        }
    }
    drawing.EndEdit(true);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const auto board = BoardApplication::Create();
    const auto document = board->AddDocument("テスト図面");
    AddSample(*document);
    board->AddDocument("図面2");
    document->Activate();
    BoardWindow window(board);
    const WindowFileMenu files(window);  // open (in the background), save, export, recent files
    const auto tool = board->CreateTool();
    DemoPicker picker(tool);
    tool->SetEventSink(&picker);
    tool->SetCaption("Pelimator");
    board->SetVisible(true);
    tool->Start();
    const int result = QApplication::exec();
    tool->SetEventSink(nullptr);
    return result;
}
