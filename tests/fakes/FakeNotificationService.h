#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

/// A notification server on a D-Bus bus of its own: a dbus-daemon with a session bus's configuration but no
/// services to start, listening on a socket in a temporary directory. Keeps the summary of every
/// notification it is sent. Without a server, the bus is there and nobody answers the name.
class FakeNotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit FakeNotificationService(bool serving = true) {
        QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
        config.open(QIODevice::WriteOnly);
        config.write(
            "<busconfig><type>session</type><listen>unix:path=" +
            QFile::encodeName(m_dir.filePath(QStringLiteral("bus"))) +
            "</listen><policy context=\"default\"><allow send_destination=\"*\"/><allow eavesdrop=\"true\"/>"
            "<allow own=\"*\"/></policy></busconfig>");
        config.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--nofork"), QStringLiteral("--print-address"),
                        QStringLiteral("--config-file=") + config.fileName()});
        m_daemon.waitForReadyRead(30000);
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        QDBusConnection bus = QDBusConnection::connectToBus(m_address, QStringLiteral("fake-server"));
        if (serving) {
            bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                               QDBusConnection::ExportAllSlots);
            bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
        }
    }
    ~FakeNotificationService() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-server"));
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }

    QString address() const { return m_address; }
    const QStringList& summaries() const { return m_summaries; }
    QString lastAppName;
    QString lastBody;

public slots:
    uint Notify(const QString& appName, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        lastAppName = appName;
        lastBody = body;
        m_summaries.append(summary);
        return static_cast<uint>(m_summaries.size());
    }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
    QStringList m_summaries;
};
