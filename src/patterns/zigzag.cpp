// AddZigzagLine: one template line, moved to each leg and inserted as a copy.
#include "patterns/zigzag.h"

#include <cmath>

#include "geometry/calc.h"
#include "geometry/errors.h"
#include "geometry/progress_text.h"
#include "patterns/edit_step.h"
#include "base/checked_int.h"

namespace pelimator {

void AddZigzagLine(host::HostFactory& factory, double Height, std::int16_t Dir,
                   const host::HostPointList& Path, host::HostDrawing& Drawing, std::int32_t Layer,
                   const host::StatusSink& status) {
    // Sides as GetApexPoint takes them: -1 left of travel, 0 right. Any Dir but -1 counts as
    // False, so the apexes alternate for every Dir (the complement of 1 would be -2, not True).
    const std::int16_t firstSide = Dir == -1 ? std::int16_t{-1} : std::int16_t{0};
    const auto otherSide = static_cast<std::int16_t>(~firstSide);

    auto line = factory.CreateLine();
    line->SetLayer(Layer);
    line->SetSubStyle(0);
    line->SetStyle(1);

    detail::RunInEditStep(Drawing, "ジグザグ線追加", [&] {
        const auto last = CheckedAdd<std::int32_t>(Path.Count(), -1, "経路の点の数");
        const double halfHeight = Height / 2.0;
        if (!std::isfinite(halfHeight)) {
            throw ArithmeticError("AddZigzagLine の計算に失敗しました: 高さが有限値ではありません");
        }
        double startX = Path.Item(0)->X();
        double startY = Path.Item(0)->Y();
        ProgressText progress("ジグザグ線を追加中...(");
        for (std::int32_t l = 1; l <= last; ++l) {
            progress.Show(status, l, last);
            const std::int16_t side = l % 2 == 1 ? firstSide : otherSide;
            const double x0 = Path.Item(l - 1)->X();
            const double y0 = Path.Item(l - 1)->Y();
            const double x1 = Path.Item(l)->X();
            const double y1 = Path.Item(l)->Y();
            double apexX = 0.0;
            double apexY = 0.0;
            M_Calc::GetApexPoint(side, halfHeight, x0, y0, x1, y1, apexX, apexY);
            auto start = line->StartPoint();
            start->SetX(startX);
            start->SetY(startY);
            auto end = line->EndPoint();
            end->SetX(apexX);
            end->SetY(apexY);
            auto added = Drawing.Add(*line);
            added->SetVisible(true);
            startX = apexX;
            startY = apexY;
        }
    });
}

}  // namespace pelimator
