#include "platform/wayland/PortalRemoteDesktopPaste.h"

#include "log/Log.h"
#include "platform/wayland/PortalRequest.h"

#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>

#include <linux/input-event-codes.h>

namespace {

const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
constexpr uint keyboardDevice = 1;

QDBusMessage remoteDesktopCall(const QString& method, const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(Portal::service, Portal::path, remoteDesktop, method);
    message.setArguments(arguments);
    return message;
}

QString describe(uint response) {
    return response == Portal::cancelledByUser ? QStringLiteral("the user refused it")
                                               : QStringLiteral("the desktop could not grant it");
}

} // namespace

PortalRemoteDesktopPaste::PortalRemoteDesktopPaste(QDBusConnection bus)
    : m_bus(std::move(bus)) {}

void PortalRemoteDesktopPaste::paste(bool withShift, Done done) {
    if (m_state == State::started) {
        sendKeys(withShift);
        done(true);
        return;
    }
    m_pending.push_back({withShift, std::move(done)});
    if (m_state == State::idle) {
        startSession();
    }
}

void PortalRemoteDesktopPaste::startSession() {
    m_state = State::starting;
    const QVariantMap options = {{QStringLiteral("session_handle_token"), PortalRequest::newToken()}};
    PortalRequest::call(
        m_bus, remoteDesktopCall(QStringLiteral("CreateSession"), {options}),
        [this](uint response, const QVariantMap& results) {
            // The handle is a string in the results, for historical reasons; some portals send a path.
            const QVariant handle = results.value(QStringLiteral("session_handle"));
            m_session = handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                             : handle.toString();
            if (response != Portal::success || m_session.isEmpty()) {
                fail(QStringLiteral("no remote desktop session: ") + describe(response));
                return;
            }
            m_bus.connect(Portal::service, m_session, sessionInterface, QStringLiteral("Closed"), this,
                          SLOT(onSessionClosed()));
            selectKeyboard();
        },
        this);
}

void PortalRemoteDesktopPaste::selectKeyboard() {
    const QVariantMap options = {{QStringLiteral("types"), keyboardDevice}};
    PortalRequest::call(
        m_bus,
        remoteDesktopCall(QStringLiteral("SelectDevices"),
                          {QVariant::fromValue(QDBusObjectPath(m_session)), options}),
        [this](uint response, const QVariantMap&) {
            if (response != Portal::success) {
                fail(QStringLiteral("no keyboard in the remote desktop session: ") + describe(response));
                return;
            }
            start();
        },
        this);
}

void PortalRemoteDesktopPaste::start() {
    PortalRequest::call(
        m_bus,
        remoteDesktopCall(QStringLiteral("Start"),
                          {QVariant::fromValue(QDBusObjectPath(m_session)), QString(), QVariantMap()}),
        [this](uint response, const QVariantMap& results) {
            if (response != Portal::success) {
                fail(QStringLiteral("the remote desktop session did not start: ") + describe(response));
                return;
            }
            if (!(results.value(QStringLiteral("devices")).toUInt() & keyboardDevice)) {
                fail(QStringLiteral("the remote desktop session has no keyboard"));
                return;
            }
            m_state = State::started;
            for (Pending& pending : std::exchange(m_pending, {})) {
                sendKeys(pending.withShift);
                pending.done(true);
            }
        },
        this);
}

void PortalRemoteDesktopPaste::fail(const QString& why) {
    qCWarning(lcOutput).noquote() << "No paste through the RemoteDesktop portal:" << why;
    m_state = State::refused;
    for (Pending& pending : std::exchange(m_pending, {})) {
        pending.done(false);
    }
}

void PortalRemoteDesktopPaste::onSessionClosed() {
    m_state = State::idle;
    m_session.clear();
}

void PortalRemoteDesktopPaste::sendKeys(bool withShift) {
    // Calls on one connection arrive in the order they were sent.
    notifyKey(KEY_LEFTCTRL, true);
    if (withShift) {
        notifyKey(KEY_LEFTSHIFT, true);
    }
    notifyKey(KEY_V, true);
    notifyKey(KEY_V, false);
    if (withShift) {
        notifyKey(KEY_LEFTSHIFT, false);
    }
    notifyKey(KEY_LEFTCTRL, false);
}

void PortalRemoteDesktopPaste::notifyKey(int keycode, bool pressed) {
    auto* watcher = new QDBusPendingCallWatcher(
        m_bus.asyncCall(remoteDesktopCall(QStringLiteral("NotifyKeyboardKeycode"),
                                          {QVariant::fromValue(QDBusObjectPath(m_session)), QVariantMap(),
                                           keycode, uint(pressed ? 1 : 0)})),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (call->isError() && m_state == State::started) {
            qCWarning(lcOutput).noquote()
                << "The RemoteDesktop portal did not take a key:" << call->error().message();
            onSessionClosed();
        }
    });
}
