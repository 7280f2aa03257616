#include "platform/linux/FreedesktopNotifications.h"

#include "log/Log.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString connectionName = QStringLiteral("murmuro-notifications ");

// The server's own default: long enough to read one line, and a "critical" urgency would keep it forever.
constexpr int serverDefaultTimeout = -1;

} // namespace

FreedesktopNotifications::FreedesktopNotifications(QString busAddress)
    : m_busAddress(std::move(busAddress)) {}

void FreedesktopNotifications::notify(const QString& message) {
    const QDBusConnection bus =
        m_busAddress.isEmpty() ? QDBusConnection::sessionBus()
                               : QDBusConnection::connectToBus(m_busAddress, connectionName + m_busAddress);
    // The summary is plain text by the protocol, where the body may be read as markup; one line fits it.
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    call << QStringLiteral("Murmuro") << 0u << QStringLiteral("murmuro") << message << QString()
         << QStringList() << QVariantMap() << serverDefaultTimeout;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [watcher, message] {
        watcher->deleteLater();
        const QDBusPendingReply<quint32> reply = *watcher;
        if (!reply.isError()) {
            return;
        }
        qCWarning(lcDesktop).noquote()
            << "The desktop did not take the notification \"" + message + "\":" << reply.error().message();
    });
}
