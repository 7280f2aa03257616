#include "fakes/FakePortal.h"

#include "platform/wayland/PortalShortcut.h"

#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QTimer>

namespace {

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

QVariantMap optionsOf(const QDBusMessage& call) {
    return call.arguments().isEmpty() ? QVariantMap() : qdbus_cast<QVariantMap>(call.arguments().last());
}

QString objectPath(const QDBusMessage& call, const QString& kind, const QString& token) {
    QString sender = call.service().mid(1);
    sender.replace(u'.', u'_');
    return portalPath + u'/' + kind + u'/' + sender + u'/' + token;
}

} // namespace

FakePortal::FakePortal()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal"))) {
    registerPortalShortcutTypes();
    m_bus.registerVirtualObject(portalPath, this, QDBusConnection::SubPath);
    m_bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

FakePortal::~FakePortal() {
    m_bus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    m_bus.unregisterObject(portalPath, QDBusConnection::UnregisterTree);
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
}

bool FakePortal::handleMessage(const QDBusMessage& call, const QDBusConnection&) {
    const QString member = call.member();
    const QList<QVariant> arguments = call.arguments();
    const QVariantMap options = optionsOf(call);
    if (member == QLatin1String("CreateSession")) {
        journal << QStringLiteral("create ") + call.interface().section(u'.', -1);
        const QString session = objectPath(call, QStringLiteral("session"),
                                           options.value(QStringLiteral("session_handle_token")).toString());
        if (call.interface().endsWith(QLatin1String("GlobalShortcuts"))) {
            m_shortcutSession = session;
        }
        respond(call, 0, {{QStringLiteral("session_handle"), session}});
    } else if (member == QLatin1String("BindShortcuts")) {
        QList<PortalShortcut> shortcuts = qdbus_cast<QList<PortalShortcut>>(arguments.at(1));
        for (PortalShortcut& shortcut : shortcuts) {
            journal << QStringLiteral("bind %1 %2")
                           .arg(shortcut.id,
                                shortcut.properties.value(QStringLiteral("preferred_trigger")).toString());
            shortcut.properties.insert(QStringLiteral("trigger_description"), reportedTrigger);
        }
        respond(call, 0, {{QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts)}});
    } else if (member == QLatin1String("SelectDevices")) {
        respond(call, 0, {});
    } else if (member == QLatin1String("Start")) {
        journal << QStringLiteral("start");
        respond(call, startResponse, {{QStringLiteral("devices"), uint(1)}});
    } else if (member == QLatin1String("NotifyKeyboardKeycode")) {
        journal << QStringLiteral("key %1 %2").arg(arguments.at(2).toInt()).arg(arguments.at(3).toUInt());
        m_bus.send(call.createReply());
    } else if (member == QLatin1String("Close")) {
        journal << QStringLiteral("close");
        m_bus.send(call.createReply());
    } else {
        m_bus.send(call.createErrorReply(QDBusError::UnknownMethod, member));
    }
    return true;
}

void FakePortal::respond(const QDBusMessage& call, uint response, const QVariantMap& results) {
    const QString request = objectPath(call, QStringLiteral("request"),
                                       optionsOf(call).value(QStringLiteral("handle_token")).toString());
    m_bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(request))));
    // The answer comes later, as the real portal's does after its dialog.
    QTimer::singleShot(0, this, [this, request, response, results] {
        QDBusMessage signal = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << response << results;
        m_bus.send(signal);
    });
}

void FakePortal::activate(const QString& shortcutId, bool pressed) {
    QDBusMessage signal =
        QDBusMessage::createSignal(portalPath, QStringLiteral("org.freedesktop.portal.GlobalShortcuts"),
                                   pressed ? QStringLiteral("Activated") : QStringLiteral("Deactivated"));
    signal << QVariant::fromValue(QDBusObjectPath(m_shortcutSession)) << shortcutId << qulonglong(0)
           << QVariantMap();
    m_bus.send(signal);
}
