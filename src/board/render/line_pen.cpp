// Pens for the drawing's lines: width and linetype.
#include "board/render/line_pen.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

namespace pelimator::board {

namespace {

// Lines narrower than this many pixels are drawn as the hairline.
constexpr double kHairlinePixels = 1.5;

}  // namespace

QList<qreal> DashPattern(const std::vector<double>& pattern, double pixelsPerUnit,
                         double widthPixels) {
    // Qt measures dash patterns in pen widths.
    const double unit = std::max(widthPixels, 1.0);
    QList<qreal> dashes;
    double total = 0.0;
    for (const double v : pattern) {
        const double pixels = std::abs(v) * pixelsPerUnit;
        const double length = std::max(pixels, 0.5) / unit;
        const bool gap = v < 0.0;
        const bool expectGap = dashes.size() % 2 == 1;
        total += pixels;
        if (gap != expectGap) {
            if (dashes.isEmpty()) {
                dashes.push_back(0.5 / unit);  // a pattern that opens with a gap
            } else {
                dashes.back() += length;
                continue;
            }
        }
        dashes.push_back(length);
    }
    if (dashes.size() % 2 == 1) dashes.push_back(0.5 / unit);
    if (total < kMinDashPixels) dashes.clear();
    return dashes;
}

QPen LinePen(const QColor& colour, double widthPixels, const std::vector<double>* pattern,
             double pixelsPerUnit, Qt::PenCapStyle cap) {
    const bool wide = widthPixels >= kHairlinePixels;
    QPen pen(colour, wide ? widthPixels : 0.0);
    if (wide) {
        pen.setCapStyle(cap);
        pen.setJoinStyle(cap == Qt::RoundCap ? Qt::RoundJoin : Qt::MiterJoin);
    }
    if (pattern != nullptr) {
        const QList<qreal> dashes = DashPattern(*pattern, pixelsPerUnit, widthPixels);
        if (!dashes.isEmpty()) {
            // A dashed hairline is one pixel wide so its pattern is measured in pixels.
            if (!wide) pen.setWidthF(1.0);
            pen.setDashPattern(dashes);
        }
    }
    return pen;
}

void StrokePolyline(QPainter& painter, const QPen& pen, const QPointF* points, int count,
                    bool closed) {
    if (count < 2) return;
    const QList<qreal> pattern = pen.dashPattern();
    if (pen.style() != Qt::CustomDashLine || pattern.size() < 2) {
        painter.setPen(pen);
        if (closed) {
            painter.drawPolygon(points, count);
        } else {
            painter.drawPolyline(points, count);
        }
        return;
    }
    QPen solid = pen;
    solid.setStyle(Qt::SolidLine);
    painter.setPen(solid);
    const double unit = std::max(pen.widthF(), 1.0);
    double period = 0.0;
    for (const qreal v : pattern) period += v * unit;
    if (!(period > 0.0)) return;
    std::size_t k = 0;                      // the pattern element in force
    double left = pattern[0] * unit;        // of it, still to go
    std::vector<QPointF> piece{points[0]};  // the dash being drawn
    const auto flush = [&] {
        if (piece.size() > 1) painter.drawPolyline(piece.data(), static_cast<int>(piece.size()));
    };
    const int segments = closed ? count : count - 1;
    for (int i = 0; i < segments; ++i) {
        QPointF a = points[i];
        const QPointF b = points[(i + 1) % count];
        double length = std::hypot(b.x() - a.x(), b.y() - a.y());
        while (length > 0.0) {
            const double step = std::min(left, length);
            const QPointF end = a + (b - a) * (step / length);
            if (k % 2 == 0) piece.push_back(end);
            left -= step;
            length -= step;
            a = end;
            if (left <= 0.0) {
                if (k % 2 == 0) flush();
                piece.assign(1, a);
                k = (k + 1) % static_cast<std::size_t>(pattern.size());
                left = pattern[static_cast<qsizetype>(k)] * unit;
            }
        }
    }
    if (k % 2 == 0) flush();
}

}  // namespace pelimator::board
