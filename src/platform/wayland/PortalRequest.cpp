#include "platform/wayland/PortalRequest.h"

#include "log/Log.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

// Where the portal puts the Request object for this caller and token.
QString requestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService().mid(1);
    sender.replace(u'.', u'_');
    return Portal::path + QStringLiteral("/request/") + sender + u'/' + token;
}

} // namespace

void PortalRequest::call(QDBusConnection bus, QDBusMessage message, Handler handler, QObject* parent) {
    auto* request = new PortalRequest(bus, std::move(handler), parent);
    const QString token = newToken();
    QList<QVariant> arguments = message.arguments();
    QVariantMap options = arguments.last().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.last() = options;
    message.setArguments(arguments);
    request->listenAt(requestPath(bus, token));

    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), request);
    connect(watcher, &QDBusPendingCallWatcher::finished, request,
            [request, message](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *call;
                if (reply.isError()) {
                    qCWarning(lcDesktop).noquote()
                        << "The desktop portal refused" << message.member() + u':' << reply.error().message();
                    request->finish(Portal::otherFailure, {});
                    return;
                }
                // Portals older than the handle token put the Request elsewhere: listen where it really is.
                if (reply.value().path() != request->m_path && !request->listenAt(reply.value().path())) {
                    request->finish(Portal::otherFailure, {});
                }
            });
}

QString PortalRequest::newToken() {
    static int counter = 0;
    return QStringLiteral("murmuro%1").arg(++counter);
}

PortalRequest::PortalRequest(QDBusConnection bus, Handler handler, QObject* parent)
    : QObject(parent)
    , m_bus(std::move(bus))
    , m_handler(std::move(handler)) {}

bool PortalRequest::listenAt(const QString& path) {
    if (!m_path.isEmpty()) {
        m_bus.disconnect(Portal::service, m_path, requestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(uint, QVariantMap)));
    }
    m_path = path;
    return m_bus.connect(Portal::service, m_path, requestInterface, QStringLiteral("Response"), this,
                         SLOT(onResponse(uint, QVariantMap)));
}

void PortalRequest::onResponse(uint response, const QVariantMap& results) {
    finish(response, results);
}

void PortalRequest::finish(uint response, const QVariantMap& results) {
    if (!m_handler) {
        return;
    }
    const Handler handler = std::move(m_handler);
    m_handler = nullptr;
    deleteLater();
    handler(response, results);
}
