// The board as the tool's host: the factory that hands out the board's objects.
#pragma once

#include "board/model/application.h"
#include "host/host.h"

namespace pelimator::board {

// Creates host objects on one board application: CreateApplication returns that application
// (the board is the CAD program already running), CreateTool a new tool object of it, the rest
// free-standing objects. Curves flatten to 0.01 x the active drawing's scale factor.
class BoardFactory final : public host::HostFactory {
public:
    // HostError when application is null.
    explicit BoardFactory(BoardApplicationPtr application);

    [[nodiscard]] host::HostApplicationPtr CreateApplication() override;
    [[nodiscard]] host::HostToolPtr CreateTool() override;
    [[nodiscard]] host::HostPointPtr CreatePoint() override;
    [[nodiscard]] host::HostPointListPtr CreatePointList() override;
    [[nodiscard]] host::HostCurvePtr CreateCurve() override;
    [[nodiscard]] host::HostLinePtr CreateLine() override;
    [[nodiscard]] host::HostArcPtr CreateArc() override;

    [[nodiscard]] const BoardApplicationPtr& Application() const noexcept { return m_application; }

private:
    BoardApplicationPtr m_application;
};

}  // namespace pelimator::board
