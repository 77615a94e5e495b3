// One line from picked points to entities.
#include "line/line_run.h"

#include <cmath>
#include <string>

#include "geometry/errors.h"
#include "geometry/path_points.h"
#include "patterns/wave.h"
#include "patterns/zigzag.h"

namespace pelimator {

double ScaleFactor(host::HostDocument& document) {
    const double denominator = static_cast<double>(document.Scale()->Denominator());
    const double numerator = static_cast<double>(document.Scale()->Numerator());
    const double factor = denominator / numerator;
    if (!std::isfinite(factor) || factor <= 0.0) {
        throw ArithmeticError("図面の縮尺 " + std::to_string(document.Scale()->Numerator()) + ":" +
                              std::to_string(document.Scale()->Denominator()) +
                              " では長さを計算できません");
    }
    return factor;
}

namespace {

std::int32_t ChooseLayer(host::HostDocument& document, const settings::RunSettings& settings) {
    if (settings.LayerChange != 1) {
        return document.CurrentAttributes()->Layer();
    }
    const std::int32_t number = settings.LayerNumber;
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

}  // namespace

LineResult DrawLine(host::HostFactory& factory, host::HostDocument& document,
                    const host::HostPointList& picks, const LineOptions& options,
                    const settings::RunSettings& settings, const host::StatusSink& status) {
    const bool wave = options.lineKind == 0;
    if (options.lineKind != 0 && options.lineKind != 1) {
        return {};  // the option group yields only 0 or 1
    }
    if (wave && 2 * static_cast<std::int64_t>(settings.WaveRadius) < settings.WaveWidth) {
        throw SettingsError(kRadiusTooSmallMessage);
    }
    const double factor = ScaleFactor(document);
    const double magnification = static_cast<double>(options.magnification) / 100.0;

    LineResult result;
    result.layer = ChooseLayer(document, settings);

    auto curve = factory.CreateCurve();
    auto path = factory.CreatePointList();
    curve->SetPoints(options.pathKind, picks);
    auto source = curve->Points();
    auto drawing = document.Drawing();
    const std::int32_t width = wave ? settings.WaveWidth : settings.ZigzagWidth;
    CalcPathPoints(*source, ToDrawingUnits(width, factor, magnification), *path, result.pathPoints,
                   status);
    if (wave) {
        AddArcWave(factory, ToDrawingUnits(settings.WaveRadius, factor, magnification),
                   ToDrawingUnits(settings.WaveWidth, factor, magnification), options.dir, *path,
                   *drawing, result.layer, status);
    } else {
        AddZigzagLine(factory, ToDrawingUnits(settings.ZigzagHeight, factor, magnification),
                      options.dir, *path, *drawing, result.layer, status);
    }
    result.entities = result.pathPoints > 1 ? result.pathPoints - 1 : 0;
    return result;
}

}  // namespace pelimator
