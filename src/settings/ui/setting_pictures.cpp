// Drawing the settings dialog's illustrations with QPainter, black on white, no antialiasing.
#include "settings/ui/setting_pictures.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <cmath>
#include <numbers>

namespace pelimator::settings {
namespace {

// Draws a dimension line from a to b with an arrow head at each end.
void DrawDimension(QPainter& painter, QPoint a, QPoint b) {
    painter.drawLine(a, b);
    const double angle = std::atan2(b.y() - a.y(), b.x() - a.x());
    for (const auto& [tip, direction] :
         {std::pair{a, angle + std::numbers::pi}, std::pair{b, angle}}) {
        const double back = direction + std::numbers::pi;
        const QPoint left(tip.x() + static_cast<int>(std::lround(5 * std::cos(back + 0.45))),
                          tip.y() + static_cast<int>(std::lround(5 * std::sin(back + 0.45))));
        const QPoint right(tip.x() + static_cast<int>(std::lround(5 * std::cos(back - 0.45))),
                           tip.y() + static_cast<int>(std::lround(5 * std::sin(back - 0.45))));
        painter.setBrush(Qt::black);
        painter.drawPolygon(QPolygon({tip, left, right}));
    }
}

QImage Finish(const QImage& canvas) {
    return canvas.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
}

QImage BlankCanvas() {
    QImage canvas(kPictureSize, kPictureSize, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    return canvas;
}

void PreparePainter(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setPen(QPen(Qt::black, 1));
    QFont font = painter.font();
    font.setPixelSize(12);
    font.setBold(true);
    painter.setFont(font);
}

}  // namespace

QImage WavePicture() {
    QImage canvas = BlankCanvas();
    QPainter painter(&canvas);
    PreparePainter(painter);
    // The arc: centre (43, 66), radius 36, from 35° to 145° (Qt's angles run counter-clockwise
    // with y down, so positive angles are above the centre).
    const QPoint centre(43, 66);
    const int radius = 36;
    const double start = 35.0;
    const double span = 110.0;
    painter.setPen(QPen(Qt::black, 2));
    painter.drawArc(QRect(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius),
                    static_cast<int>(start * 16), static_cast<int>(span * 16));
    painter.setPen(QPen(Qt::black, 1));
    const auto onArc = [&](double degrees) {
        const double a = degrees * std::numbers::pi / 180.0;
        return QPoint(centre.x() + static_cast<int>(std::lround(radius * std::cos(a))),
                      centre.y() - static_cast<int>(std::lround(radius * std::sin(a))));
    };
    const QPoint right = onArc(start);
    const QPoint left = onArc(start + span);
    // W: between the arc's two ends, dimensioned above the arc.
    const int dimY = 14;
    painter.drawLine(left, QPoint(left.x(), dimY - 3));
    painter.drawLine(right, QPoint(right.x(), dimY - 3));
    DrawDimension(painter, QPoint(left.x(), dimY), QPoint(right.x(), dimY));
    painter.drawText(QRect(left.x(), 0, right.x() - left.x(), dimY - 1), Qt::AlignCenter, "W");
    // R: from the centre to the arc.
    painter.drawEllipse(centre, 1, 1);
    const QPoint onR = onArc(70.0);
    DrawDimension(painter, centre, onR);
    painter.drawText(QRect(onR.x() + 3, 48, 16, 14), Qt::AlignLeft | Qt::AlignVCenter, "R");
    painter.end();
    return Finish(canvas);
}

QImage ZigzagPicture() {
    QImage canvas = BlankCanvas();
    QPainter painter(&canvas);
    PreparePainter(painter);
    const int upperY = 28;
    const int lowerY = 58;
    const QPolygon zigzag({QPoint(12, lowerY), QPoint(27, upperY), QPoint(42, lowerY),
                           QPoint(57, upperY), QPoint(72, lowerY)});
    painter.setPen(QPen(Qt::black, 2));
    painter.drawPolyline(zigzag);
    painter.setPen(QPen(Qt::black, 1));
    // W: between two successive lower corners, dimensioned below them.
    const int dimY = 70;
    painter.drawLine(QPoint(42, lowerY + 2), QPoint(42, dimY + 3));
    painter.drawLine(QPoint(72, lowerY + 2), QPoint(72, dimY + 3));
    DrawDimension(painter, QPoint(42, dimY), QPoint(72, dimY));
    painter.drawText(QRect(42, dimY + 2, 30, 14), Qt::AlignCenter, "W");
    // H: from the lower corners up to the upper ones, at the right.
    painter.drawLine(QPoint(59, upperY), QPoint(86, upperY));
    painter.drawLine(QPoint(74, lowerY), QPoint(86, lowerY));
    DrawDimension(painter, QPoint(83, lowerY), QPoint(83, upperY));
    painter.drawText(QRect(71, 36, 11, 14), Qt::AlignCenter, "H");
    painter.end();
    return Finish(canvas);
}

}  // namespace pelimator::settings
