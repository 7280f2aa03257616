#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

#include <functional>

/// The desktop portal's service, object and the responses of its Request objects.
namespace Portal {
const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
constexpr uint success = 0;
constexpr uint cancelledByUser = 1;
constexpr uint otherFailure = 2;
} // namespace Portal

/// One call of a portal method that answers through a Request object: the call's options gain a handle
/// token, the Response signal is subscribed before the call so that an early answer is not missed, and the
/// handler runs once on the main thread with the response code and results. A failed call counts as
/// otherFailure. The request ends itself after answering; destroying its parent ends it early.
class PortalRequest : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(uint response, const QVariantMap& results)>;

    /// The last argument of the message must be the options map.
    static void call(QDBusConnection bus, QDBusMessage message, Handler handler, QObject* parent);

    /// A token unique within this process, for handle_token and session_handle_token.
    static QString newToken();

private slots:
    void onResponse(uint response, const QVariantMap& results);

private:
    PortalRequest(QDBusConnection bus, Handler handler, QObject* parent);
    bool listenAt(const QString& requestPath);
    void finish(uint response, const QVariantMap& results);

    QDBusConnection m_bus;
    Handler m_handler;
    QString m_path;
};
