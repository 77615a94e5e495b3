// The board's host factory.
#include "board/model/factory.h"

#include "board/model/curve.h"
#include "board/model/entity.h"
#include "board/model/tool_object.h"
#include "host/errors.h"
#include "host/point_list.h"

namespace pelimator::board {

BoardFactory::BoardFactory(BoardApplicationPtr application)
    : m_application(std::move(application)) {
    if (!m_application) throw HostError("CAD アプリケーションがありません");
}

host::HostApplicationPtr BoardFactory::CreateApplication() { return m_application; }

host::HostToolPtr BoardFactory::CreateTool() { return m_application->CreateTool(); }

host::HostPointPtr BoardFactory::CreatePoint() { return std::make_shared<host::PlainPoint>(); }

host::HostPointListPtr BoardFactory::CreatePointList() {
    return std::make_shared<host::PlainPointList>();
}

host::HostCurvePtr BoardFactory::CreateCurve() {
    // The tolerance follows the drawing active when the curve is built: 0.01 paper-mm.
    std::weak_ptr<BoardApplication> application = m_application;
    return std::make_shared<BoardCurve>([application]() {
        const auto app = application.lock();
        if (!app || !app->Active()) return kDefaultCurveTolerance;
        return kDefaultCurveTolerance * app->Active()->UnitsPerPaperMillimetre();
    });
}

host::HostLinePtr BoardFactory::CreateLine() { return BoardLine::CreateFree(EntityData{}); }

host::HostArcPtr BoardFactory::CreateArc() {
    EntityData arc;
    arc.kind = EntityKind::Arc;
    return BoardArc::CreateFree(arc);
}

}  // namespace pelimator::board
