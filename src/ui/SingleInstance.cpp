#include "ui/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

#include <cstdio>

namespace {

const QString serviceName = QStringLiteral("org.murmuro.Murmuro");
const QString objectPath = QStringLiteral("/org/murmuro/Murmuro");
constexpr int commandTimeoutMs = 5000;

void printLine(const QString& line) {
    std::fputs(qPrintable(line + u'\n'), stderr);
}

} // namespace

std::optional<InstanceCommand> instanceCommandOf(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        return InstanceCommand::run;
    }
    if (arguments.size() > 1) {
        return std::nullopt;
    }
    const QString& argument = arguments.first();
    if (argument == QLatin1String("--toggle"))
        return InstanceCommand::toggle;
    if (argument == QLatin1String("--start"))
        return InstanceCommand::start;
    if (argument == QLatin1String("--stop"))
        return InstanceCommand::stop;
    return std::nullopt;
}

std::unique_ptr<SingleInstance> SingleInstance::claim(QDBusConnection bus, Actions actions) {
    if (!bus.isConnected()) {
        printLine(QStringLiteral("No session bus, so murmuro --toggle cannot reach this instance: ") +
                  bus.lastError().message());
        return nullptr;
    }
    std::unique_ptr<SingleInstance> instance(new SingleInstance(bus, std::move(actions)));
    // The object is there before the name, so that whoever sees the name can call it.
    if (!bus.registerObject(objectPath, instance.get(), QDBusConnection::ExportScriptableSlots)) {
        printLine(QStringLiteral("Could not serve the instance's commands: ") + bus.lastError().message());
        return nullptr;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(objectPath);
        return nullptr;
    }
    return instance;
}

SingleInstance::SingleInstance(QDBusConnection bus, Actions actions)
    : m_bus(std::move(bus))
    , m_actions(std::move(actions)) {}

SingleInstance::~SingleInstance() {
    m_bus.unregisterService(serviceName);
    m_bus.unregisterObject(objectPath);
}

int SingleInstance::sendToRunningInstance(QDBusConnection bus, InstanceCommand command) {
    static const char* const methods[] = {"ShowSettings", "Toggle", "Start", "Stop"};
    const QString method = QLatin1String(methods[static_cast<int>(command)]);
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(serviceName, objectPath, serviceName, method), QDBus::Block,
                 commandTimeoutMs);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return 0;
    }
    if (!bus.isConnected() ||
        reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")) {
        printLine(
            QStringLiteral("Murmuro is not running: start it first, then murmuro --toggle controls it."));
    } else {
        printLine(QStringLiteral("The running Murmuro did not take the command: ") + reply.errorMessage());
    }
    return 1;
}

void SingleInstance::Toggle() {
    m_actions.toggle();
}

void SingleInstance::Start() {
    m_actions.start();
}

void SingleInstance::Stop() {
    m_actions.stop();
}

void SingleInstance::ShowSettings() {
    m_actions.showSettings();
}
