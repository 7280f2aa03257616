#include "ui/SingleInstance.h"

#include "log/Log.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

#include <cstdio>

namespace {

const QString serviceName = QStringLiteral("org.murmuro.Murmuro");
const QString objectPath = QStringLiteral("/org/murmuro/Murmuro");
// The running instance answers from its event loop, which a second start may reach while the first is still
// starting up; a slow machine must not turn that into a failed command.
constexpr int answerTimeoutMs = 60000;

void printLine(const QString& line) {
    std::fputs(qPrintable(line + u'\n'), stderr);
}

} // namespace

std::unique_ptr<SingleInstance> SingleInstance::claim(QDBusConnection bus, bool& anotherRuns) {
    anotherRuns = false;
    if (!bus.isConnected()) {
        qCWarning(lcUi).noquote() << QStringLiteral("No session bus, so murmuro --toggle cannot reach this "
                                                    "instance: ") +
                                         bus.lastError().message();
        return nullptr;
    }
    std::unique_ptr<SingleInstance> instance(new SingleInstance(bus));
    // The object is there before the name, so that whoever sees the name can call it.
    if (!bus.registerObject(objectPath, instance.get(), QDBusConnection::ExportScriptableSlots)) {
        qCWarning(lcUi).noquote() << QStringLiteral("Could not serve the instance's commands: ") +
                                         bus.lastError().message();
        return nullptr;
    }
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(objectPath);
        anotherRuns = reply.isValid();
        if (!anotherRuns) {
            qCWarning(lcUi).noquote() << QStringLiteral("Could not take the name %1 on the session bus: %2")
                                             .arg(serviceName, reply.error().message());
        }
        return nullptr;
    }
    return instance;
}

SingleInstance::SingleInstance(QDBusConnection bus)
    : m_bus(std::move(bus)) {}

SingleInstance::~SingleInstance() {
    m_bus.unregisterService(serviceName);
    m_bus.unregisterObject(objectPath);
}

int SingleInstance::sendToRunningInstance(QDBusConnection bus, InstanceCommand command) {
    static const char* const methods[] = {"ShowSettings", "Toggle", "Start", "Stop"};
    static const char* const options[] = {"", " --toggle", " --start", " --stop"};
    const int index = static_cast<int>(command);
    // The default timeout leaves a running instance that is still starting up the time to answer.
    const QDBusMessage reply = bus.call(
        QDBusMessage::createMethodCall(serviceName, objectPath, serviceName, QLatin1String(methods[index])));
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return 0;
    }
    if (!bus.isConnected()) {
        printLine(QStringLiteral("No session bus, so no running Murmuro can be reached: ") +
                  bus.lastError().message());
    } else if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown")) {
        printLine(QStringLiteral("Murmuro is not running: start it first, then murmuro%1 controls it.")
                      .arg(QLatin1String(options[index])));
    } else {
        printLine(QStringLiteral("The running Murmuro did not take the command: ") + reply.errorMessage());
    }
    return 1;
}

void SingleInstance::run(const std::function<void()>& action) {
    if (action) {
        action();
    }
}

void SingleInstance::Toggle() {
    run(m_actions.toggle);
}

void SingleInstance::Start() {
    run(m_actions.start);
}

void SingleInstance::Stop() {
    run(m_actions.stop);
}

void SingleInstance::ShowSettings() {
    run(m_actions.showSettings);
}
