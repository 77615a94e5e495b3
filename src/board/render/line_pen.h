// Pens for the drawing's lines: a plotted width or the one-pixel hairline, and a file's linetype
// as the pen's dash pattern. Window and exports take their pens from here.
#pragma once

#include <QColor>
#include <QLineF>
#include <QList>
#include <QPen>
#include <QPointF>
#include <QRectF>
#include <vector>

class QPainter;

namespace pelimator::board {

// Dash patterns shorter than this on screen (in pixels) are drawn solid: too fine to see.
inline constexpr double kMinDashPixels = 4.0;

// A linetype's pattern (drawing units: + dash, - gap, 0 dot) as a pen's dash pattern for a pen
// widthPixels wide (a hairline counts as one pixel); empty for a solid line (no pattern, or one
// too fine to see). Two dashes or two gaps in a row merge; a dot is half a pixel long.
[[nodiscard]] QList<qreal> DashPattern(const std::vector<double>& pattern, double pixelsPerUnit,
                                       double widthPixels = 0.0);

// The pen of a line: widthPixels wide (under 1.5: the cosmetic hairline of one device pixel),
// with cap (and the matching join) when wide, dashed after pattern (null: solid). A file's wide
// polylines end flat; a plotted line width ends round.
[[nodiscard]] QPen LinePen(const QColor& colour, double widthPixels,
                           const std::vector<double>* pattern, double pixelsPerUnit,
                           Qt::PenCapStyle cap = Qt::FlatCap);

// Draws the polyline through points (back to the first when closed) with pen; a dashed pen's
// pattern is laid out here, running on across corners, and each dash drawn solid. Qt's own
// dashing differs between paint engines (the raster engine lengthens the dashes of thin scaled
// pens), so window, SVG, PDF and PNG all get their dashes this way. With clip (painter units),
// dashes are drawn only within it while the pattern runs on outside, so a line reaching far off
// the page keeps its dashes where they are and costs nothing out there.
void StrokePolyline(QPainter& painter, const QPen& pen, const QPointF* points, int count,
                    bool closed = false, const QRectF* clip = nullptr);

// Draws count lines with the painter's pen. Qt strokes the lines of one call into one shape and
// fills it, at a cost of about the lines times the shape's area: a hundred diagonals across a
// large PNG took minutes. A wide pen's lines are therefore drawn one at a time, each costing
// about its own pixels; a hairline's go in one call (drawn without that shape).
void DrawLines(QPainter& painter, const QLineF* lines, int count);
// The same with the lines as pairs of points (count lines, 2 × count points).
void DrawLines(QPainter& painter, const QPointF* ends, int count);

}  // namespace pelimator::board
