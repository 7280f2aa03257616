#include "ui/AppIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

QPixmap drawIcon(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    // Everything is laid out on a 100-unit square and scaled to the requested size.
    painter.scale(side / 100.0, side / 100.0);

    QLinearGradient background(0, 0, 0, 100);
    background.setColorAt(0.0, QColor(124, 92, 255));
    background.setColorAt(1.0, QColor(64, 40, 170));
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(QRectF(4, 4, 92, 92), 22, 22);

    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(40, 20, 20, 38), 10, 10);

    QPen line(Qt::white, 5, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(line);
    painter.setBrush(Qt::NoBrush);
    QPainterPath cradle;
    cradle.moveTo(30, 46);
    cradle.cubicTo(30, 74, 70, 74, 70, 46);
    painter.drawPath(cradle);
    painter.drawLine(QPointF(50, 67), QPointF(50, 80));
    painter.drawLine(QPointF(40, 80), QPointF(60, 80));

    line.setWidthF(4);
    painter.setPen(line);
    painter.drawArc(QRectF(14, 26, 20, 30), 120 * 16, 120 * 16);
    painter.drawArc(QRectF(66, 26, 20, 30), -60 * 16, 120 * 16);
    return pixmap;
}

} // namespace

QIcon applicationIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(drawIcon(side));
    }
    return icon;
}
