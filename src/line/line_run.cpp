// One line from picks to entities.
#include "line/line_run.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/errors.h"
#include "geometry/path_fit.h"
#include "geometry/path_points.h"
#include "patterns/wave.h"
#include "patterns/zigzag.h"

namespace pelimator {

namespace {

std::string WorkLimitText(std::int64_t estimate, std::int64_t limit) {
    return "この線は図形を約 " + std::to_string(estimate) + " 個作ることになり、上限の " +
           std::to_string(limit) +
           " 個を超えるので描きません。倍率を上げるか、経路を短くして下さい。";
}

std::int32_t ChooseLayer(host::HostDocument& document, const settings::RunSettings& settings,
                         bool create) {
    if (settings.LayerChange != 1) {
        return document.CurrentAttributes()->Layer();
    }
    const std::int32_t number = settings.LayerNumber;
    if (!create) return number;
    auto layers = document.Layers();
    if (layers->IndexOf(number) == -1) {
        layers->Add(number, kNewLayerName, 0);
    }
    return number;
}

// (setting × factor) × magnification, in that order, as the lengths are defined.
double ToDrawingUnits(std::int32_t millimetres, double factor, double magnification) {
    return (static_cast<double>(millimetres) * factor) * magnification;
}

// The host's points as plain points, for the pitch fitting.
std::vector<PathPoint> ReadPoints(const host::HostPointList& points) {
    const std::int32_t count = points.Count();
    std::vector<PathPoint> plain;
    plain.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t i = 0; i < count; ++i) {
        const auto point = points.Item(i);
        const double x = point->X();
        const double y = point->Y();
        plain.push_back({x, y});
    }
    return plain;
}

}  // namespace

double PolylineLength(const host::HostPointList& points) {
    const std::int32_t count = points.Count();
    double length = 0.0;
    double previousX = 0.0;
    double previousY = 0.0;
    for (std::int32_t i = 0; i < count; ++i) {
        const auto point = points.Item(i);
        const double x = point->X();
        const double y = point->Y();
        if (i > 0) length += std::hypot(x - previousX, y - previousY);
        previousX = x;
        previousY = y;
    }
    return length;
}

WorkLimitError::WorkLimitError(std::int64_t estimate, std::int64_t limit)
    : Error(WorkLimitText(estimate, limit)), m_estimate(estimate), m_limit(limit) {}

std::int16_t HostCurveKind(settings::PathKind kind) noexcept {
    return static_cast<std::int16_t>(kind);
}

std::int16_t PatternDir(settings::UpSide up) noexcept {
    return up == settings::UpSide::Left ? std::int16_t{-1} : std::int16_t{0};
}

std::int64_t EstimateEntities(double pathLength, double pitch, std::int32_t pickCount) noexcept {
    constexpr auto kMost = std::numeric_limits<std::int64_t>::max();
    const double chords = std::ceil(pathLength / pitch);
    // 2^62 is exact in a double and far above any limit: beyond it (or NaN) the bound saturates.
    if (!(chords >= 0.0) || chords >= 0x1p62) return kMost;
    return static_cast<std::int64_t>(chords) + 1 + std::max<std::int32_t>(pickCount, 0);
}

std::string LengthText(double value, const std::string& unitSymbol) {
    std::ostringstream text;
    text << std::setprecision(6) << value;
    if (!unitSymbol.empty()) text << " " << unitSymbol;
    return text.str();
}

std::string NoEntityText(double pathLength, double pitch, const std::string& unitSymbol) {
    return "経路の長さは " + LengthText(pathLength, unitSymbol) + " で、始点から点の間隔 " +
           LengthText(pitch, unitSymbol) + (unitSymbol.empty() ? " (図面の単位)" : "") +
           " 以上離れた点がないので、図形を追加しませんでした。";
}

std::string UnitForTexts(const host::DrawingUnit& unit) {
    return unit.millimetres == 1.0 ? std::string() : unit.symbol;
}

std::string FitKeptText(const LineResult& result) {
    if (!result.fit) return {};
    const std::string unit = UnitForTexts(result.unit);
    const std::string pitch = LengthText(result.normalPitch, unit);
    switch (result.fit->outcome) {
        case EndFit::TooShort:
            return "経路が点の間隔 " + pitch +
                   " の半分より短いので、線を経路の終点で終えられませんでした。";
        case EndFit::NoFit: {
            const std::string range = result.fit->limited
                                          ? "半分から波線の弧が渡せる半径の 2 倍 (" +
                                                LengthText(result.fit->longest, unit) + ") まで"
                                          : "半分から 1.5 倍まで";
            return "点の間隔を " + pitch + " の" + range +
                   "変えても線が経路の終点でちょうど終わらない (経路が終点の近くで折り返して"
                   "いるなど) ので、通常の間隔 " +
                   pitch + " のまま描きました。";
        }
        case EndFit::Fitted:
        case EndFit::AlreadyEnds:
        case EndFit::NotAPitch:
            break;
    }
    return {};
}

std::string LineReportText(const LineResult& result) {
    const std::string unit = UnitForTexts(result.unit);
    std::string text;
    if (result.entities == 0) text += NoEntityText(result.pathLength, result.pitch, unit);
    text += FitKeptText(result);
    if (result.entities > 0 && !unit.empty()) {
        text += "点の間隔 " + LengthText(result.pitch, unit) + " (図面の単位 " + unit +
                ") で描きました。";
    }
    return text;
}

double ScaleFactor(host::HostDocument& document) {
    const double denominator = static_cast<double>(document.Scale()->Denominator());
    const double numerator = static_cast<double>(document.Scale()->Numerator());
    const host::DrawingUnit unit = document.Unit();
    // The real length of a paper millimetre at scale, in the drawing's unit. Dividing by 1 for
    // millimetres changes no bit of the factor.
    const double factor = denominator / numerator / unit.millimetres;
    if (!std::isfinite(factor) || factor <= 0.0) {
        throw ArithmeticError("図面の縮尺 " + std::to_string(document.Scale()->Numerator()) + ":" +
                              std::to_string(document.Scale()->Denominator()) +
                              (unit.symbol.empty() ? "" : "、単位 " + unit.symbol) +
                              " では長さを計算できません");
    }
    return factor;
}

namespace {

// The run behind DrawLine and DrawLineInto; into null draws into the document's drawing and
// creates the layer when needed.
LineResult RunLine(host::HostFactory& factory, host::HostDocument& document,
                   host::HostDrawing* into, const host::HostPointList& picks,
                   const LineOptions& options, const settings::RunSettings& settings,
                   const host::StatusSink& status) {
    const bool wave = options.lineKind == settings::LineKind::Wave;
    if (wave && !settings::WaveRadiusFits(settings.WaveRadius, settings.WaveWidth)) {
        throw SettingsError(settings::kRadiusTooSmallMessage);
    }
    const double factor = ScaleFactor(document);
    const double magnification = static_cast<double>(options.magnification) / 100.0;
    const std::int32_t width = wave ? settings.WaveWidth : settings.ZigzagWidth;

    LineResult result;
    result.unit = document.Unit();
    result.pitch = ToDrawingUnits(width, factor, magnification);
    result.normalPitch = result.pitch;
    auto curve = factory.CreateCurve();
    curve->SetPoints(HostCurveKind(options.pathKind), picks);
    auto source = curve->Points();
    result.pathLength = PolylineLength(*source);
    // A pitch that is not positive is CalcPathPoints' error to raise.
    if (std::isfinite(result.pitch) && result.pitch > 0.0) {
        const std::int64_t estimate =
            EstimateEntities(result.pathLength, result.pitch, picks.Count());
        if (estimate > options.entityLimit) throw WorkLimitError(estimate, options.entityLimit);
    }

    if (options.fitToEnd) {
        const double largest =
            wave ? 2.0 * ToDrawingUnits(settings.WaveRadius, factor, magnification)
                 : std::numeric_limits<double>::infinity();
        result.fit = FitToEnd(ReadPoints(*source), result.pitch, largest);
        result.pitch = result.fit->pitch;
        // A shorter pitch makes more entities: the bound holds for the fitted one too.
        if (std::isfinite(result.pitch) && result.pitch > 0.0) {
            const std::int64_t estimate =
                EstimateEntities(result.pathLength, result.pitch, picks.Count());
            if (estimate > options.entityLimit) {
                throw WorkLimitError(estimate, options.entityLimit);
            }
        }
    }

    result.layer = ChooseLayer(document, settings, into == nullptr);
    auto path = factory.CreatePointList();
    host::HostDrawingPtr documentDrawing;
    if (into == nullptr) documentDrawing = document.Drawing();
    host::HostDrawing& drawing = into != nullptr ? *into : *documentDrawing;
    CalcPathPoints(*source, result.pitch, *path, result.pathPoints, status);
    const std::int16_t dir = PatternDir(options.up);
    switch (options.lineKind) {
        case settings::LineKind::Wave:
            AddArcWave(factory, ToDrawingUnits(settings.WaveRadius, factor, magnification),
                       result.pitch, dir, *path, drawing, result.layer, status);
            break;
        case settings::LineKind::Zigzag:
            AddZigzagLine(factory, ToDrawingUnits(settings.ZigzagHeight, factor, magnification),
                          dir, *path, drawing, result.layer, status);
            break;
    }
    result.entities = result.pathPoints > 1 ? result.pathPoints - 1 : 0;
    return result;
}

}  // namespace

LineResult DrawLine(host::HostFactory& factory, host::HostDocument& document,
                    const host::HostPointList& picks, const LineOptions& options,
                    const settings::RunSettings& settings, const host::StatusSink& status) {
    return RunLine(factory, document, nullptr, picks, options, settings, status);
}

LineResult DrawLineInto(host::HostFactory& factory, host::HostDocument& document,
                        host::HostDrawing& drawing, const host::HostPointList& picks,
                        const LineOptions& options, const settings::RunSettings& settings,
                        const host::StatusSink& status) {
    return RunLine(factory, document, &drawing, picks, options, settings, status);
}

double LinePitch(host::HostDocument& document, const LineOptions& options,
                 const settings::RunSettings& settings) {
    const bool wave = options.lineKind == settings::LineKind::Wave;
    const std::int32_t width = wave ? settings.WaveWidth : settings.ZigzagWidth;
    return ToDrawingUnits(width, ScaleFactor(document),
                          static_cast<double>(options.magnification) / 100.0);
}

}  // namespace pelimator
