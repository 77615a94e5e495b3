// The table of drawing units.
#include "board/model/units.h"

#include <array>
#include <numbers>

namespace pelimator::board {

namespace {

// Exact by definition: the inch is 25.4 mm, the US survey foot 1200/3937 m, the astronomical
// unit 149,597,870,700 m, the light year 9,460,730,472,580,800 m, the parsec 648,000/π au.
constexpr double kSurveyFoot = 1'200'000.0 / 3937.0;
constexpr double kAstronomicalUnit = 149'597'870'700'000.0;
constexpr std::array<UnitDefinition, 25> kUnits{{
    {0, "", 1.0},
    {1, "in", 25.4},
    {2, "ft", 304.8},
    {3, "mi", 1'609'344.0},
    {4, "mm", 1.0},
    {5, "cm", 10.0},
    {6, "m", 1'000.0},
    {7, "km", 1'000'000.0},
    {8, "µin", 25.4e-6},
    {9, "mil", 0.0254},
    {10, "yd", 914.4},
    {11, "Å", 1e-7},
    {12, "nm", 1e-6},
    {13, "µm", 1e-3},
    {14, "dm", 100.0},
    {15, "dam", 10'000.0},
    {16, "hm", 100'000.0},
    {17, "Gm", 1e12},
    {18, "au", kAstronomicalUnit},
    {19, "ly", 9'460'730'472'580'800'000.0},
    {20, "pc", kAstronomicalUnit * 648'000.0 / std::numbers::pi},
    {21, "ft(US)", kSurveyFoot},
    {22, "in(US)", kSurveyFoot / 12.0},
    {23, "yd(US)", kSurveyFoot * 3.0},
    {24, "mi(US)", kSurveyFoot * 5'280.0},
}};

}  // namespace

const UnitDefinition* FindUnit(std::int32_t code) noexcept {
    if (code < 0 || code >= static_cast<std::int32_t>(kUnits.size())) {
        return nullptr;
    }
    return &kUnits[static_cast<std::size_t>(code)];
}

}  // namespace pelimator::board
