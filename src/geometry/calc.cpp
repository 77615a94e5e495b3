// M_Calc: distances, the folded arctangent, rotation, circle-line crossing and zigzag apexes.
#include "geometry/calc.h"

#include <cmath>
#include <string>

#include "geometry/errors.h"

namespace pelimator::M_Calc {

double Pi = 0.0;

namespace {

[[noreturn]] void Fail(const char* routine, const char* reason) {
    throw ArithmeticError(std::string(routine) + " の計算に失敗しました: " + reason);
}

// Every intermediate result passes through here: the routines never hand on NaN or infinity.
inline double Checked(double value, const char* routine) {
    if (!std::isfinite(value)) [[unlikely]] {
        Fail(routine, "値が有限ではありません (0÷0、あふれ、または不正な入力)");
    }
    return value;
}

}  // namespace

void InitPi() { Pi = 4.0 * std::atan(1.0); }

double GetDistance(double X1, double Y1, double X2, double Y2) {
    constexpr const char* name = "GetDistance";
    const double dx = Checked(X2 - X1, name);
    const double dy = Checked(Y2 - Y1, name);
    const double sum = Checked(std::pow(dx, 2.0) + std::pow(dy, 2.0), name);
    return Checked(std::sqrt(sum), name);
}

double GetManhattanDistance(double X1, double Y1, double X2, double Y2) {
    constexpr const char* name = "GetManhattanDistance";
    const double dx = Checked(X2 - X1, name);
    const double dy = Checked(Y2 - Y1, name);
    return Checked(std::abs(dx) + std::abs(dy), name);
}

double GetAngle(double X1, double Y1, double X2, double Y2) {
    constexpr const char* name = "GetAngle";
    const double dx = Checked(X2 - X1, name);
    const double dy = Checked(Y2 - Y1, name);
    // Fold the vector into the first quadrant: q quarter turns plus an angle t in [0, Pi/2].
    // Only values strictly below zero count as negative, so -0 behaves as 0.
    int q = 0;
    double a = dx;
    double b = dy;
    if (dx < 0.0 && dy >= 0.0) {
        q = 1;
        a = dy;
        b = -dx;
    } else if (dx < 0.0 && dy < 0.0) {
        q = 2;
        a = -dx;
        b = -dy;
    } else if (dx >= 0.0 && dy < 0.0) {
        q = 3;
        a = -dy;
        b = dx;
    }
    if (a == 0.0 && b == 0.0) {
        Fail(name, "2点が同じ位置にあり、方向が決まりません");
    }
    // The ratio given to the arctangent never exceeds 1.
    double t = 0.0;
    if (b > a) {
        t = Checked(Pi / 2.0 - std::atan(Checked(a / b, name)), name);
    } else {
        t = Checked(std::atan(Checked(b / a, name)), name);
    }
    return Checked(q * (Pi / 2.0) + t, name);
}

void RotatePoint(double CX, double CY, double Angle, double X, double Y, double& OutX,
                 double& OutY) {
    constexpr const char* name = "RotatePoint";
    // The negated angle, as the rotation was first written; the result is the usual
    // counter-clockwise turn by +Angle.
    const double negated = -Angle;
    const double c = Checked(std::cos(negated), name);
    const double s = Checked(std::sin(negated), name);
    const double dx = Checked(X - CX, name);
    const double dy = Checked(Y - CY, name);
    const double outX = Checked((c * dx + s * dy) + CX, name);
    const double outY = Checked((-(s * dx) + c * dy) + CY, name);
    OutX = outX;
    OutY = outY;
}

void GetCircleLineCross(double CX, double CY, double R, double X1, double Y1, double X2, double Y2,
                        double& OutX, double& OutY) {
    constexpr const char* name = "GetCircleLineCross";
    // Work in the frame with origin P1 and x axis along P1→P2: (u, v) is C there.
    const double theta = GetAngle(X1, Y1, X2, Y2);
    double u = 0.0;
    double v = 0.0;
    RotatePoint(0.0, 0.0, -theta, Checked(CX - X1, name), Checked(CY - Y1, name), u, v);
    const double square = Checked(R * R - v * v, name);
    if (square < 0.0) {
        Fail(name, "直線が円と交わりません");
    }
    const double s = Checked(std::sqrt(square), name);
    const double length = GetDistance(X1, Y1, X2, Y2);
    // Take the crossing on the side of C's foot that faces the middle of P1P2.
    double localX = 0.0;
    if (length / 2.0 < u) {
        localX = Checked(CX - s, name);
    } else {
        localX = Checked(CX + s, name);
    }
    const double localY = Checked(CY - v, name);
    RotatePoint(CX, CY, theta, localX, localY, OutX, OutY);
}

void GetApexPoint(std::int16_t Side, double H, double X1, double Y1, double X2, double Y2,
                  double& OutX, double& OutY) {
    constexpr const char* name = "GetApexPoint";
    const double theta = GetAngle(X1, Y1, X2, Y2);
    const double midX = Checked((X1 + X2) / 2.0, name);
    const double midY = Checked((Y1 + Y2) / 2.0, name);
    // Lay the segment along the horizontal through P1, lift the midpoint, and turn it back.
    double m1 = 0.0;
    double m2 = 0.0;
    RotatePoint(X1, Y1, -theta, midX, midY, m1, m2);
    if (Side == -1) {
        m2 = Checked(m2 + H, name);
    } else {
        m2 = Checked(m2 - H, name);
    }
    RotatePoint(X1, Y1, theta, m1, m2, OutX, OutY);
}

}  // namespace pelimator::M_Calc
