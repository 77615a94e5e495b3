// CalcPathPoints: equal-chord resampling of the host's curve into the path of a line pattern.
#include "geometry/path_points.h"

#include <cmath>

#include "base/checked_int.h"
#include "geometry/calc.h"
#include "geometry/errors.h"
#include "geometry/progress_text.h"

namespace pelimator {

namespace {

struct Point {
    double x;
    double y;
};

// Each coordinate through its own Item call: the host may hand out a fresh object per call.
Point ReadPoint(const host::HostPointList& list, std::int32_t index) {
    const double x = list.Item(index)->X();
    const double y = list.Item(index)->Y();
    return {x, y};
}

}  // namespace

void CalcPathPoints(host::HostPointList& Source, double Pitch, host::HostPointList& Dest,
                    std::int32_t& Count, const host::StatusSink& status) {
    // A pitch that does not move the dividers forward would never end the scan.
    if (!std::isfinite(Pitch) || !(Pitch > 0.0)) {
        throw ArithmeticError(
            "CalcPathPoints の計算に失敗しました: 点の間隔が正の有限値ではありません");
    }
    ProgressText progress("座標計算中...(");

    Point anchor = ReadPoint(Source, 0);
    Dest.Add(anchor.x, anchor.y);
    std::int32_t appended = 1;
    double distance = 0.0;  // the Euclidean distance computed most recently
    const auto last = CheckedAdd<std::int32_t>(Source.Count(), -1, "元の点の数");

    std::int32_t i = 1;
    while (i <= last) {
        progress.Show(status, i, last);
        const Point p = ReadPoint(Source, i);
        // Cheap first test: a Manhattan distance below the pitch means certainly inside.
        if (M_Calc::GetManhattanDistance(anchor.x, anchor.y, p.x, p.y) < Pitch) {
            i = CheckedAdd<std::int32_t>(i, 1, "元の点の番号");
            continue;
        }
        distance = M_Calc::GetDistance(anchor.x, anchor.y, p.x, p.y);
        if (distance < Pitch) {
            i = CheckedAdd<std::int32_t>(i, 1, "元の点の番号");
            continue;
        }
        if (distance == Pitch) {
            Dest.Add(p.x, p.y);
            appended = CheckedAdd<std::int32_t>(appended, 1, "経路の点の数");
            anchor = p;
            i = CheckedAdd<std::int32_t>(i, 1, "元の点の番号");
            continue;
        }
        // p lies outside the circle of radius Pitch about the anchor and the point before it
        // inside (or on it): cut the segment between them where it leaves the circle.
        const Point q = ReadPoint(Source, i - 1);
        Point cut{};
        M_Calc::GetCircleLineCross(anchor.x, anchor.y, Pitch, q.x, q.y, p.x, p.y, cut.x, cut.y);
        if (cut.x == anchor.x && cut.y == anchor.y) {
            // The pitch is below the spacing of doubles at these coordinates: no progress.
            throw ArithmeticError(
                "CalcPathPoints の計算に失敗しました: 点の間隔が座標の大きさに比べて小さすぎます");
        }
        Dest.Add(cut.x, cut.y);
        appended = CheckedAdd<std::int32_t>(appended, 1, "経路の点の数");
        // The cut becomes the segment's new start, so the next cut on it lands a pitch further.
        auto before = Source.Item(i - 1);
        before->SetX(cut.x);
        auto beforeAgain = Source.Item(i - 1);
        beforeAgain->SetY(cut.y);
        anchor = cut;
        // Examine the same point again: a long segment takes several cuts.
    }

    // End rule: distance is 0 or at least Pitch/√2 here, so this appends the last source point
    // whenever any point got past the Manhattan test and the final piece is not mere rounding:
    // a piece below kEndRemainderShare of the pitch would be a chord along a direction that is
    // noise (its arc or leg would stick out sideways), and one of length zero would break the
    // patterns. The path then ends at the last cut, on the end within that share.
    if (Pitch / 3.0 < distance) {
        const Point end = ReadPoint(Source, last);
        if (M_Calc::GetDistance(anchor.x, anchor.y, end.x, end.y) >= kEndRemainderShare * Pitch) {
            Dest.Add(end.x, end.y);
            appended = CheckedAdd<std::int32_t>(appended, 1, "経路の点の数");
        }
    }
    Count = appended;
}

}  // namespace pelimator
