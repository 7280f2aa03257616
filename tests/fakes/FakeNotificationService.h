#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

/// A notification server on a D-Bus bus of its own: a dbus-daemon with a session bus's rules but no services
/// to start, on a socket in a temporary directory. Keeps the summary of every notification it is sent; with
/// serving false, the bus is there and nobody has the name.
class FakeNotificationService : public QDBusVirtualObject {
public:
    explicit FakeNotificationService(bool serving = true) {
        QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
        if (!config.open(QIODevice::WriteOnly) ||
            config.write("<busconfig><type>session</type><listen>unix:path=" +
                         QFile::encodeName(m_dir.filePath(QStringLiteral("bus"))) +
                         "</listen><policy context=\"default\"><allow send_destination=\"*\"/>"
                         "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>") < 0) {
            qFatal("Cannot write the private bus's configuration");
        }
        config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                        QStringLiteral("--config-file=") + config.fileName()});
        if (!m_daemon.waitForReadyRead(30000)) {
            qFatal("dbus-daemon did not start");
        }
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        QDBusConnection bus = QDBusConnection::connectToBus(address, m_name);
        if (serving) {
            bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), this);
            bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
        }
    }
    ~FakeNotificationService() override {
        QDBusConnection::disconnectFromBus(m_name);
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("Notify") || message.arguments().size() != 8) {
            return false;
        }
        calls.append(message.arguments());
        summaries.append(message.arguments().at(3).toString());
        connection.send(message.createReply(QVariant::fromValue(static_cast<uint>(calls.size()))));
        return true;
    }

    QString address;
    QList<QVariantList> calls;
    QStringList summaries;

private:
    const QString m_name = QStringLiteral("fake notification server");
    QTemporaryDir m_dir;
    QProcess m_daemon;
};
