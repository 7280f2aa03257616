#include "ui/StatusIcon.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>

QIcon statusIcon(const QString& label) {
    // Trays ask for sizes between 16 and 48 pixels; one large picture scales down cleanly to all of them.
    constexpr int side = 64;
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);

    QFont font(QStringLiteral("Noto Color Emoji"));
    font.setPixelSize(side * 3 / 4);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setFont(font);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, label);
    painter.end();
    return QIcon(pixmap);
}
