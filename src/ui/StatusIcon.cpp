#include "ui/StatusIcon.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPixmap>

QIcon statusIcon(const QString& label) {
    // Trays ask for sizes between 16 and 48 pixels; one large picture scales down cleanly to all of them.
    constexpr int side = 64;
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);

    QFont font(QStringLiteral("Noto Color Emoji"));
    font.setPixelSize(side);
    // The glyph is scaled to fill the icon: a tray leaves little room, and emoji carry generous side
    // bearings.
    const QRectF glyph = QFontMetricsF(font).boundingRect(label);
    const qreal scale = side / std::max({glyph.width(), glyph.height(), qreal(1)});

    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setFont(font);
    painter.translate(side / 2.0, side / 2.0);
    painter.scale(scale, scale);
    painter.drawText(QRectF(-side, -side, 2 * side, 2 * side), Qt::AlignCenter, label);
    painter.end();
    return QIcon(pixmap);
}
