#include "platform/wayland/PortalGlobalShortcuts.h"

#include "log/Log.h"
#include "platform/linux/X11HotkeyKeysyms.h"
#include "platform/wayland/PortalRequest.h"
#include "platform/wayland/PortalShortcut.h"

#include <QDBusPendingCall>

#include <xkbcommon/xkbcommon.h>

namespace {

const QString globalShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString shortcutId = QStringLiteral("toggle-dictation");

QDBusMessage portalCall(const QString& method, const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(Portal::service, Portal::path, globalShortcuts, method);
    message.setArguments(arguments);
    return message;
}

// The trigger reported for our shortcut in a list, if the list has it.
std::optional<QString> reportedTrigger(const QVariant& shortcuts) {
    for (const PortalShortcut& shortcut : qdbus_cast<QList<PortalShortcut>>(shortcuts)) {
        if (shortcut.id == shortcutId) {
            return shortcut.properties.value(QStringLiteral("trigger_description")).toString();
        }
    }
    return std::nullopt;
}

} // namespace

/// One portal session holding the shortcut; closing it gives the shortcut back.
struct PortalGlobalShortcuts::Session {
    QDBusConnection bus;
    QString handle;
    bool released = false;

    void close() {
        if (!handle.isEmpty()) {
            bus.asyncCall(QDBusMessage::createMethodCall(Portal::service, handle,
                                                         QStringLiteral("org.freedesktop.portal.Session"),
                                                         QStringLiteral("Close")));
        }
    }
};

namespace {

class PortalShortcutRegistration : public HotkeyRegistration {
public:
    explicit PortalShortcutRegistration(std::function<void()> release)
        : m_release(std::move(release)) {}
    ~PortalShortcutRegistration() override { m_release(); }

private:
    std::function<void()> m_release;
};

} // namespace

PortalGlobalShortcuts::PortalGlobalShortcuts(QDBusConnection bus)
    : m_bus(std::move(bus)) {
    registerPortalShortcutTypes();
    m_bus.connect(Portal::service, Portal::path, globalShortcuts, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
    m_bus.connect(Portal::service, Portal::path, globalShortcuts, QStringLiteral("Deactivated"), this,
                  SLOT(onDeactivated(QDBusMessage)));
    m_bus.connect(Portal::service, Portal::path, globalShortcuts, QStringLiteral("ShortcutsChanged"), this,
                  SLOT(onShortcutsChanged(QDBusMessage)));
}

PortalGlobalShortcuts::~PortalGlobalShortcuts() = default;

void PortalGlobalShortcuts::installHandler(std::function<void()> onPressed,
                                           std::function<void()> onReleased) {
    m_onPressed = std::move(onPressed);
    m_onReleased = std::move(onReleased);
}

void PortalGlobalShortcuts::setDesktopShortcutHandler(std::function<void(const DesktopShortcut&)> handler) {
    m_statusHandler = std::move(handler);
    m_statusHandler(m_status);
}

std::unique_ptr<HotkeyRegistration> PortalGlobalShortcuts::registerHotkey(QKeyCombination combination) {
    const QString trigger = triggerOf(combination);
    auto session = std::make_shared<Session>(Session{m_bus, {}, false});
    m_current = session;
    const QVariantMap options = {{QStringLiteral("session_handle_token"), PortalRequest::newToken()}};
    PortalRequest::call(
        m_bus, portalCall(QStringLiteral("CreateSession"), {options}),
        [this, session, trigger](uint response, const QVariantMap& results) {
            const QVariant handle = results.value(QStringLiteral("session_handle"));
            session->handle = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                                   : handle.toString();
            if (session->released) {
                session->close();
                return;
            }
            if (response != Portal::success || session->handle.isEmpty()) {
                qCWarning(lcHotkey).noquote() << "No global shortcut session from the desktop portal";
                report({false, {}});
                return;
            }
            bind(session, trigger);
        },
        this);
    return std::make_unique<PortalShortcutRegistration>([session] {
        session->released = true;
        session->close();
    });
}

void PortalGlobalShortcuts::bind(const std::shared_ptr<Session>& session, const QString& trigger) {
    QVariantMap properties = {{QStringLiteral("description"), QStringLiteral("Start or stop a dictation")}};
    if (!trigger.isEmpty()) {
        properties.insert(QStringLiteral("preferred_trigger"), trigger);
    }
    const QList<PortalShortcut> shortcuts = {{shortcutId, properties}};
    PortalRequest::call(
        m_bus,
        portalCall(QStringLiteral("BindShortcuts"),
                   {QVariant::fromValue(QDBusObjectPath(session->handle)), QVariant::fromValue(shortcuts),
                    QString(), QVariantMap()}),
        [this, session](uint response, const QVariantMap& results) {
            if (session->released) {
                return;
            }
            if (response != Portal::success) {
                qCWarning(lcHotkey).noquote()
                    << "The desktop did not bind the global shortcut, response" << response;
                report({true, {}});
                return;
            }
            const QString trigger =
                reportedTrigger(results.value(QStringLiteral("shortcuts"))).value_or(QString());
            qCInfo(lcHotkey).noquote() << "Global shortcut bound by the desktop portal:" << trigger;
            report({true, trigger});
        },
        this);
}

void PortalGlobalShortcuts::report(DesktopShortcut status) {
    m_status = std::move(status);
    if (m_statusHandler) {
        m_statusHandler(m_status);
    }
}

bool PortalGlobalShortcuts::isCurrent(const QDBusMessage& message) const {
    // Every signal of the interface starts with the session handle; the (de)activations then name the
    // shortcut.
    const QList<QVariant> arguments = message.arguments();
    const std::shared_ptr<Session> current = m_current.lock();
    const bool ours = !arguments.isEmpty() && current && !current->released &&
                      current->handle == arguments.at(0).value<QDBusObjectPath>().path();
    return ours && (message.member() == QLatin1String("ShortcutsChanged") ||
                    (arguments.size() > 1 && arguments.at(1).toString() == shortcutId));
}

void PortalGlobalShortcuts::onActivated(const QDBusMessage& message) {
    if (!isCurrent(message)) {
        return;
    }
    m_held = true;
    if (m_onPressed) {
        m_onPressed();
    }
}

void PortalGlobalShortcuts::onDeactivated(const QDBusMessage& message) {
    if (!isCurrent(message) || !m_held) {
        return;
    }
    m_held = false;
    if (m_onReleased) {
        m_onReleased();
    }
}

void PortalGlobalShortcuts::onShortcutsChanged(const QDBusMessage& message) {
    if (!isCurrent(message) || message.arguments().size() < 2) {
        return;
    }
    if (const std::optional<QString> trigger = reportedTrigger(message.arguments().at(1))) {
        report({true, *trigger});
    }
}

QString PortalGlobalShortcuts::triggerOf(QKeyCombination combination) {
    const std::optional<quint32> keysym = x11HotkeyKeysymOf(combination);
    char name[64];
    if (!keysym || xkb_keysym_get_name(*keysym, name, sizeof name) <= 0) {
        return {};
    }
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    QStringList parts;
    if (modifiers & Qt::ControlModifier)
        parts << QStringLiteral("CTRL");
    if (modifiers & Qt::AltModifier)
        parts << QStringLiteral("ALT");
    if (modifiers & Qt::ShiftModifier)
        parts << QStringLiteral("SHIFT");
    if (modifiers & Qt::MetaModifier)
        parts << QStringLiteral("LOGO");
    parts << QString::fromLatin1(name);
    return parts.join(u'+');
}
