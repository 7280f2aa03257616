#include "Version.h"
#include "log/Log.h"
#include "platform/linux/QuitOnSignals.h"
#include "ui/Application.h"
#include "ui/SingleInstance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>

#include <cstdio>
#include <optional>
#include <utility>

namespace {

/// Handles the options that need no desktop; nothing when the program is done, else what it is asked to do.
std::optional<InstanceCommand> handleCommandLine(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Murmuro, a dictation assistant for the desktop."));
    const QCommandLineOption help = options.addHelpOption();
    const QCommandLineOption version = options.addVersionOption();
    const std::pair<QCommandLineOption, InstanceCommand> commands[] = {
        {{QStringLiteral("toggle"), QStringLiteral("Start or stop a dictation in the running Murmuro, as its "
                                                   "hotkey does.")},
         InstanceCommand::toggle},
        {{QStringLiteral("start"), QStringLiteral("Start a dictation in the running Murmuro.")},
         InstanceCommand::start},
        {{QStringLiteral("stop"), QStringLiteral("Stop the running Murmuro's dictation and deliver it.")},
         InstanceCommand::stop},
    };
    for (const auto& [option, command] : commands) {
        options.addOption(option);
    }
    if (!options.parse(arguments)) {
        std::fprintf(stderr, "%s\n", qPrintable(options.errorText()));
        std::exit(2);
    }
    if (options.isSet(help)) {
        // Without an application object Qt cannot know the program's name.
        std::printf("%s", qPrintable(options.helpText().replace(QLatin1String("<executable_name>"),
                                                                QLatin1String("murmuro"))));
        return std::nullopt;
    }
    if (options.isSet(version)) {
        std::printf("Murmuro %s\n", murmuroVersion);
        return std::nullopt;
    }
    std::optional<InstanceCommand> chosen;
    for (const auto& [option, command] : commands) {
        if (options.isSet(option)) {
            if (chosen) {
                std::fprintf(stderr, "Give one of --toggle, --start and --stop at a time.\n");
                std::exit(2);
            }
            chosen = command;
        }
    }
    if (!options.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "Unknown argument: %s\n", qPrintable(options.positionalArguments().first()));
        std::exit(2);
    }
    return chosen.value_or(InstanceCommand::run);
}

} // namespace

int main(int argc, char* argv[]) {
    const std::optional<InstanceCommand> command = handleCommandLine(argc, argv);
    if (!command) {
        return 0;
    }
    installLogHandler();
    if (*command != InstanceCommand::run) {
        // A command for the running instance needs the session bus only, no display.
        QCoreApplication app(argc, argv);
        return SingleInstance::sendToRunningInstance(QDBusConnection::sessionBus(), *command);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Murmuro"));
    QApplication::setOrganizationName(QStringLiteral("Murmuro"));
    QApplication::setApplicationVersion(QString::fromLatin1(murmuroVersion));
    QApplication::setQuitOnLastWindowClosed(false);

    // Before anything takes the hotkey or the microphone: a second start only opens the first one's Settings.
    bool anotherRuns = false;
    const std::unique_ptr<SingleInstance> instance =
        SingleInstance::claim(QDBusConnection::sessionBus(), anotherRuns);
    if (anotherRuns) {
        return SingleInstance::sendToRunningInstance(QDBusConnection::sessionBus(), InstanceCommand::run);
    }
    quitOnTerminationSignals();

    Application murmuro;
    if (instance) {
        instance->setActions(murmuro.instanceActions());
    }
    return app.exec();
}
