#include "platform/linux/QuitOnSignals.h"
#include "ui/Application.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Murmuro"));
    QApplication::setOrganizationName(QStringLiteral("Murmuro"));
    QApplication::setApplicationVersion(QStringLiteral("1.0"));
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnTerminationSignals();

    Application murmuro;
    return app.exec();
}
