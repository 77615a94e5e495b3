// One line from picked points to entities: layer choice, scale, curve, path and pattern.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/errors.h"
#include "geometry/path_fit.h"
#include "host/host.h"
#include "settings/settings_file.h"

namespace pelimator {

// The most entities one line may add unless the caller allows more: enough for any real drawing,
// and far below what would exhaust the memory of a desktop machine (about 100 bytes an entity).
inline constexpr std::int64_t kDefaultEntityLimit = 10'000'000;

// The main window's choices for one line.
struct LineOptions {
    settings::PathKind pathKind = settings::PathKind::ThroughPoints;
    settings::LineKind lineKind = settings::LineKind::Wave;
    std::int32_t magnification = 100;  // percent
    settings::UpSide up = settings::UpSide::Left;
    std::int64_t entityLimit = kDefaultEntityLimit;  // refused above this estimate
    // The pitch is fitted (by at most half of it) so the path ends exactly at its last point.
    bool fitToEnd = false;
};

// What one line added, for the caller's summary.
struct LineResult {
    std::int32_t pathPoints = 0;  // points of the resampled path
    std::int32_t entities = 0;    // arcs or legs added
    std::int32_t layer = 0;       // the layer they lie on
    double pathLength = 0.0;      // length of the curve through the picks, drawing units
    double pitch = 0.0;           // distance of consecutive path points, drawing units
    double normalPitch = 0.0;     // the pitch before any fitting, drawing units
    host::DrawingUnit unit;       // what a drawing unit is, for texts
    std::optional<PitchFit> fit;  // what fitting to the end did, when it was asked for
};

// Settings that cannot make a line (a wave radius below half the width): refused before
// anything is drawn.
class SettingsError : public Error {
public:
    using Error::Error;
};

// A line that would add more entities than its limit: refused before anything is allocated.
class WorkLimitError : public Error {
public:
    WorkLimitError(std::int64_t estimate, std::int64_t limit);
    [[nodiscard]] std::int64_t Estimate() const noexcept { return m_estimate; }
    [[nodiscard]] std::int64_t Limit() const noexcept { return m_limit; }

private:
    std::int64_t m_estimate;
    std::int64_t m_limit;
};

// Name of the layer created when the configured layer number is missing.
inline constexpr const char* kNewLayerName = "地況線";

// The curve kind and direction flag as the host and the pattern generators take them.
[[nodiscard]] std::int16_t HostCurveKind(settings::PathKind kind) noexcept;
[[nodiscard]] std::int16_t PatternDir(settings::UpSide up) noexcept;  // -1 (True) for Left

// The length of the polyline through the host's points: the estimate of a line's length (the
// curves through the points are about as long).
[[nodiscard]] double PolylineLength(const host::HostPointList& points);

// An upper bound of the entities a path of pathLength makes at pitch: every chord of the
// resampled path uses up at least one pitch of length, and the end rule adds at most one point;
// the pick count is added as margin for the points the host's curve may add. Saturates at
// INT64_MAX (a length that is not finite included).
[[nodiscard]] std::int64_t EstimateEntities(double pathLength, double pitch,
                                            std::int32_t pickCount) noexcept;

// A length in drawing units for texts: at most six significant digits, then the unit's symbol
// ("2.5 m"); with no unit, the number alone.
[[nodiscard]] std::string LengthText(double value, const std::string& unitSymbol = {});

// Why a line added nothing, for the status text and the batch report: no point of the path lies
// a pitch from its start. Lengths in drawing units, said with unitSymbol ("(図面の単位)" without).
[[nodiscard]] std::string NoEntityText(double pathLength, double pitch,
                                       const std::string& unitSymbol = {});

// The unit's symbol for texts of lengths: none for the millimetre (and for no unit), whose texts
// stay as they were, else the symbol ("m", "in").
[[nodiscard]] std::string UnitForTexts(const host::DrawingUnit& unit);

// Why a line asked to end on its path's end was drawn at its normal pitch (the path too short,
// or no pitch within the range ends there); empty when it was fitted, already ended there or
// fitting was not asked for.
[[nodiscard]] std::string FitKeptText(const LineResult& result);

// What the status bar says after a line before its prompt: why nothing was added, why the pitch
// was not fitted, and the pitch with its unit when the drawing's unit is not the millimetre;
// empty when there is nothing to say.
[[nodiscard]] std::string LineReportText(const LineResult& result);

// Adds one wave or zigzag line along the curve of `picks` to `document`, in one edit step.
// Lengths: (setting mm × Denominator/Numerator) × magnification/100. Everything that can be
// refused (radius, scale, the entity estimate above options.entityLimit) is checked before the
// drawing or its layers change; a failure later on leaves the drawing as it was (the pattern
// generators close their step with EndEdit(false)). Throws the error of whatever failed.
LineResult DrawLine(host::HostFactory& factory, host::HostDocument& document,
                    const host::HostPointList& picks, const LineOptions& options,
                    const settings::RunSettings& settings, const host::StatusSink& status);

// The same run into `drawing` instead of the document's, for a preview: the layer is chosen as
// DrawLine chooses it but never created, so nothing of the document changes.
LineResult DrawLineInto(host::HostFactory& factory, host::HostDocument& document,
                        host::HostDrawing& drawing, const host::HostPointList& picks,
                        const LineOptions& options, const settings::RunSettings& settings,
                        const host::StatusSink& status);

// The pitch of a line before any fitting, in drawing units: the wave's or zigzag's width
// scaled to the document and the magnification.
[[nodiscard]] double LinePitch(host::HostDocument& document, const LineOptions& options,
                               const settings::RunSettings& settings);

// Drawing units per paper millimetre: Denominator ÷ Numerator of the document's scale, divided
// by the millimetres of its unit (1 for millimetres and for no unit, 1000 for metres).
double ScaleFactor(host::HostDocument& document);

}  // namespace pelimator
