#include "Version.h"
#include "log/Log.h"
#include "platform/linux/QuitOnSignals.h"
#include "ui/Application.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

namespace {

/// Handles the options that need no desktop; true when the program should go on and start.
bool handleCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Murmuro, a dictation assistant for the desktop."));
    const QCommandLineOption help = options.addHelpOption();
    const QCommandLineOption version = options.addVersionOption();
    if (!options.parse(arguments)) {
        std::fprintf(stderr, "%s\n", qPrintable(options.errorText()));
        std::exit(2);
    }
    if (options.isSet(help)) {
        // Without an application object Qt cannot know the program's name.
        std::printf("%s", qPrintable(options.helpText().replace(QLatin1String("<executable_name>"),
                                                                QLatin1String("murmuro"))));
        return false;
    }
    if (options.isSet(version)) {
        std::printf("Murmuro %s\n", murmuroVersion);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (!handleCommandLine(argc, argv)) {
        return 0;
    }
    installLogHandler();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Murmuro"));
    QApplication::setOrganizationName(QStringLiteral("Murmuro"));
    QApplication::setApplicationVersion(QString::fromLatin1(murmuroVersion));
    QApplication::setQuitOnLastWindowClosed(false);
    quitOnTerminationSignals();

    Application murmuro;
    return app.exec();
}
