// AddArcWave: two template arcs, cloned, turned and shifted once per path segment.
#include "patterns/wave.h"

#include <cmath>

#include "geometry/calc.h"
#include "geometry/errors.h"
#include "geometry/progress_text.h"
#include "patterns/edit_step.h"

namespace pelimator {

namespace {

[[noreturn]] void Fail(const char* reason) {
    throw ArithmeticError(std::string("AddArcWave の計算に失敗しました: ") + reason);
}

double Checked(double value) {
    if (!std::isfinite(value)) [[unlikely]] {
        Fail("値が有限ではありません");
    }
    return value;
}

}  // namespace

void AddArcWave(host::HostFactory& factory, double Radius, double Width, std::int16_t Dir,
                const host::HostPointList& Path, host::HostDrawing& Drawing, std::int32_t Layer,
                const host::StatusSink& status) {
    const bool dirTrue = Dir == -1;  // only -1 counts as True
    auto origin = factory.CreatePoint();
    origin->SetX(0.0);
    origin->SetY(0.0);

    detail::RunInEditStep(Drawing, "波線追加", [&] {
        // Templates with the chord on the X axis from (0, 0) to (W, 0). The arc runs
        // counter-clockwise from start to end, so the centre side decides the bulge side: centre
        // right (-h) with start (W, 0) bulges left; centre left (+h) with start (0, 0) bulges
        // right.
        auto t0 = factory.CreateArc();
        t0->SetLayer(Layer);
        t0->SetSubStyle(0);
        t0->SetStyle(1);
        t0->SetRadius(Radius);
        const double halfWidth = Checked(Width / 2.0);
        t0->Center()->SetX(halfWidth);
        const double square = Checked(Checked(Radius * Radius) - Checked(halfWidth * halfWidth));
        if (square < 0.0) {
            Fail("半径が幅の半分より小さいため、円弧を作れません");
        }
        double h = Checked(std::sqrt(square));
        if (dirTrue) {
            h = h * -1.0;
            t0->Center()->SetY(h);
            t0->StartPoint()->SetX(Width);
            t0->StartPoint()->SetY(0.0);
            t0->EndPoint()->SetX(0.0);
            t0->EndPoint()->SetY(0.0);
        } else {
            t0->Center()->SetY(h);
            t0->StartPoint()->SetX(0.0);
            t0->StartPoint()->SetY(0.0);
            t0->EndPoint()->SetX(Width);
            t0->EndPoint()->SetY(0.0);
        }
        // T1 is T0 mirrored across its chord.
        auto t1 = t0->Clone();
        t1->Rotate(*origin, 180.0);
        t1->Move(Width, 0.0);

        const std::int32_t count = Path.Count();
        const std::int32_t last = count - 1;  // count >= 0, so this cannot overflow
        ProgressText progress("波線を追加中...(");
        for (std::int32_t i = 1; i <= last; ++i) {
            progress.Show(status, i, last);
            auto arc = (i % 2 == 1 ? t1 : t0)->Clone();
            const double x0 = Path.Item(i - 1)->X();
            const double y0 = Path.Item(i - 1)->Y();
            const double x1 = Path.Item(i)->X();
            const double y1 = Path.Item(i)->Y();
            const double theta = M_Calc::GetAngle(x0, y0, x1, y1);
            // Degrees: multiplied by 180 first, then divided by Pi (0 before InitPi: an error).
            const double degrees = Checked(Checked(theta * 180.0) / M_Calc::Pi);
            arc->Rotate(*origin, degrees);
            const double startX = Path.Item(i - 1)->X();
            const double startY = Path.Item(i - 1)->Y();
            arc->Move(startX, startY);
            auto added = Drawing.Add(*arc);
            added->SetVisible(true);
        }
    });
}

}  // namespace pelimator
