// M_Calc: the plane-geometry routines shared by the path resampling and the line patterns.
#pragma once

#include <cstdint>

namespace pelimator::M_Calc {

// Conventions: coordinates and lengths are doubles in drawing units; angles are radians measured
// from +X towards +Y (counter-clockwise with Y up). Every routine raises ArithmeticError
// (geometry/errors.h) rather than return or write a NaN or an infinity.

// 4·arctan(1) once InitPi has run; 0 before. GetAngle and the wave read it.
extern double Pi;
void InitPi();

double GetDistance(double X1, double Y1, double X2, double Y2);
// |X2 - X1| + |Y2 - Y1|: never below GetDistance, never above √2 times it.
double GetManhattanDistance(double X1, double Y1, double X2, double Y2);
// Direction of the vector P1→P2 in [0, 2·Pi), from an arctangent folded by quadrant, so that the
// axes and diagonals come out exactly. P1 = P2 raises ArithmeticError.
double GetAngle(double X1, double Y1, double X2, double Y2);
// (X, Y) turned about (CX, CY) by Angle, counter-clockwise for a positive angle.
void RotatePoint(double CX, double CY, double Angle, double X, double Y, double& OutX,
                 double& OutY);
// A point of the line through P1 and P2 at distance R from C: of the two crossings, the one that
// lies from C's foot on the line towards the middle of P1P2 (the further one along P1→P2 when the
// foot is exactly at the middle). P1 = P2, or a line farther than R from C, raises ArithmeticError.
void GetCircleLineCross(double CX, double CY, double R, double X1, double Y1, double X2, double Y2,
                        double& OutX, double& OutY);
// The point at distance H from the midpoint of P1P2, perpendicular to it: on the left of P1→P2
// (+90°) when Side is -1 (True), on the right for every other Side. P1 = P2 raises
// ArithmeticError.
void GetApexPoint(std::int16_t Side, double H, double X1, double Y1, double X2, double Y2,
                  double& OutX, double& OutY);

}  // namespace pelimator::M_Calc
