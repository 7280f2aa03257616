// The yardstick for the idle figures: the least a Qt tray application can be, an icon and a small menu.

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x6d, 0x4a, 0xd8));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(pixmap.rect(), 14, 14);
    painter.end();

    QMenu menu;
    menu.addAction(QStringLiteral("Start"));
    menu.addAction(QStringLiteral("Settings…"));
    menu.addSeparator();
    menu.addAction(QStringLiteral("Quit"), &app, &QApplication::quit);

    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.setContextMenu(&menu);
    tray.show();
    return app.exec();
}
