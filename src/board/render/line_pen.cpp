// Pens for the drawing's lines: width and linetype.
#include "board/render/line_pen.h"

#include <QPainter>
#include <QRectF>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <vector>

#include "board/model/types.h"

namespace pelimator::board {

namespace {

// Lines narrower than this many pixels are drawn as the hairline.
constexpr double kHairlinePixels = 1.5;

// The box a clip rectangle grows to for a pen: its caps and joins reach past the line's ends.
Box Grown(const QRectF& clip, const QPen& pen) {
    const double pad = std::max(pen.widthF(), 1.0) + 1.0;
    return {{clip.left() - pad, clip.top() - pad}, {clip.right() + pad, clip.bottom() + pad}};
}

// A solid polyline drawn in the runs of it that lie within clip.
void DrawClipped(QPainter& painter, const QPen& pen, const QPointF* points, int count, bool closed,
                 const QRectF& clip) {
    const Box box = Grown(clip, pen);
    std::vector<QPointF> piece;
    const auto flush = [&] {
        if (piece.size() > 1) painter.drawPolyline(piece.data(), static_cast<int>(piece.size()));
        piece.clear();
    };
    const int segments = closed ? count : count - 1;
    for (int i = 0; i < segments; ++i) {
        const QPointF a = points[i];
        const QPointF b = points[(i + 1) % count];
        Vec2 from{a.x(), a.y()};
        Vec2 to{b.x(), b.y()};
        if (!IsFinite(from) || !IsFinite(to) || !ClipSegment(from, to, box)) {
            flush();
            continue;
        }
        const QPointF start(from.x, from.y);
        if (piece.empty() || piece.back() != start) {
            flush();
            piece.push_back(start);
        }
        piece.emplace_back(to.x, to.y);
        if (QPointF(to.x, to.y) != b) flush();
    }
    flush();
}

// A dash pattern laid along a polyline: where in the pattern it stands, and the dash being
// drawn, each dash drawn solid as it ends.
class DashWalk {
public:
    DashWalk(QPainter& painter, const QList<qreal>& pattern, double unit, double period,
             QPointF start)
        : m_painter(painter),
          m_pattern(pattern),
          m_unit(unit),
          m_period(period),
          m_left(pattern[0] * unit),
          m_piece{start} {}

    // Draws the pattern along a-b, a being where the pattern stands.
    void Run(QPointF a, QPointF b) {
        double length = std::hypot(b.x() - a.x(), b.y() - a.y());
        while (length > 0.0) {
            const double step = std::min(m_left, length);
            const QPointF end = a + (b - a) * (step / length);
            if (m_k % 2 == 0) m_piece.push_back(end);
            m_left -= step;
            length -= step;
            a = end;
            if (m_left <= 0.0) {
                Flush();
                m_piece.assign(1, a);
                Next();
            }
        }
    }

    // Moves the pattern on by length without drawing (a part outside the clip box), to stand at
    // to: whole periods first, so a line running far off the page costs no more than one
    // period's elements.
    void Skip(double length, QPointF to) {
        Flush();
        length = std::fmod(length, m_period);
        while (length > 0.0) {
            const double step = std::min(m_left, length);
            m_left -= step;
            length -= step;
            if (m_left <= 0.0) Next();
        }
        m_piece.assign(1, to);
    }

    // Draws the dash in progress, if the pattern stands in a dash.
    void Flush() {
        if (m_k % 2 == 0 && m_piece.size() > 1) {
            m_painter.drawPolyline(m_piece.data(), static_cast<int>(m_piece.size()));
        }
    }

private:
    void Next() {
        m_k = (m_k + 1) % static_cast<std::size_t>(m_pattern.size());
        m_left = m_pattern[static_cast<qsizetype>(m_k)] * m_unit;
    }

    QPainter& m_painter;
    const QList<qreal>& m_pattern;
    double m_unit;
    double m_period;
    std::size_t m_k = 0;           // the pattern element in force
    double m_left;                 // of it, still to go
    std::vector<QPointF> m_piece;  // the dash being drawn
};

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
                    bool closed, const QRectF* clip) {
    if (count < 2) return;
    const QList<qreal> pattern = pen.dashPattern();
    if (pen.style() != Qt::CustomDashLine || pattern.size() < 2) {
        painter.setPen(pen);
        if (clip != nullptr) {
            DrawClipped(painter, pen, points, count, closed, *clip);
            return;
        }
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
    if (!(period > 0.0) || !std::isfinite(period)) return;
    // A dash's caps reach half the pen's width past the clip box: the box grows by a pen width.
    std::optional<Box> box;
    if (clip != nullptr) box = Grown(*clip, pen);
    DashWalk walk(painter, pattern, unit, period, points[0]);
    const int segments = closed ? count : count - 1;
    for (int i = 0; i < segments; ++i) {
        const QPointF a = points[i];
        const QPointF b = points[(i + 1) % count];
        if (!box) {
            walk.Run(a, b);
            continue;
        }
        Vec2 from{a.x(), a.y()};
        Vec2 to{b.x(), b.y()};
        const double length = std::hypot(b.x() - a.x(), b.y() - a.y());
        if (!std::isfinite(length)) continue;
        if (!ClipSegment(from, to, *box)) {
            walk.Skip(length, b);
            continue;
        }
        const double before = std::hypot(from.x - a.x(), from.y - a.y());
        if (before > 0.0) walk.Skip(before, QPointF(from.x, from.y));
        walk.Run(QPointF(from.x, from.y), QPointF(to.x, to.y));
        const double after = std::hypot(b.x() - to.x, b.y() - to.y);
        if (after > 0.0) walk.Skip(after, b);
    }
    walk.Flush();
}

void DrawLines(QPainter& painter, const QLineF* lines, int count) {
    if (painter.pen().isCosmetic()) {
        painter.drawLines(lines, count);
        return;
    }
    for (int k = 0; k < count; ++k) painter.drawLines(lines + k, 1);
}

void DrawLines(QPainter& painter, const QPointF* ends, int count) {
    if (painter.pen().isCosmetic()) {
        painter.drawLines(ends, count);
        return;
    }
    for (std::ptrdiff_t k = 0; k < count; ++k) painter.drawLines(ends + 2 * k, 1);
}

}  // namespace pelimator::board
