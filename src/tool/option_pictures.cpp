// The small pictures beside the wave and zigzag options.
#include "tool/option_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pelimator {

namespace {
constexpr int kWidth = 40;
constexpr int kHeight = 16;

QPixmap Blank() {
    QPixmap pixmap(kWidth, kHeight);
    pixmap.fill(Qt::transparent);
    return pixmap;
}
}  // namespace

QIcon WaveOptionPicture() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    // Four arcs of 10 px chord bulging alternately up and down, as the wave line draws them.
    QPainterPath path(QPointF(0, kHeight / 2.0));
    for (int k = 0; k < 4; ++k) {
        const double x0 = k * 10.0;
        const double bulge = (k % 2 == 0) ? -5.0 : 5.0;
        path.quadTo(x0 + 5.0, kHeight / 2.0 + 2 * bulge, x0 + 10.0, kHeight / 2.0);
    }
    painter.drawPath(path);
    return QIcon(pixmap);
}

QIcon ZigzagOptionPicture() {
    QPixmap pixmap = Blank();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    QPolygonF legs;
    legs << QPointF(0, kHeight / 2.0);
    for (int k = 0; k < 4; ++k) {
        legs << QPointF(5.0 + k * 10.0, (k % 2 == 0) ? 2.0 : kHeight - 2.0);
    }
    painter.drawPolyline(legs);
    return QIcon(pixmap);
}

}  // namespace pelimator
