#include "hotkey/GlobalHotkey.h"

#include "core/AppState.h"
#include "hotkey/QtKeyCodes.h"
#include "hotkey/VirtualKeyCodes.h"
#include "log/Log.h"
#include "platform/DesktopNotifications.h"
#include "platform/HotkeyService.h"

#include <QMetaObject>
#include <QTimer>

quint32 carbonModifiers(quint64 hotkeyModifiers) {
    quint32 modifiers = 0;
    if (hotkeyModifiers & ModifierFlag::command)
        modifiers |= HotkeyModifier::command;
    if (hotkeyModifiers & ModifierFlag::option)
        modifiers |= HotkeyModifier::option;
    if (hotkeyModifiers & ModifierFlag::shift)
        modifiers |= HotkeyModifier::shift;
    if (hotkeyModifiers & ModifierFlag::control)
        modifiers |= HotkeyModifier::control;
    return modifiers;
}

QString desktopShortcutNote(const DesktopShortcut& shortcut) {
    if (!shortcut.serviceAvailable) {
        return QStringLiteral(
            "This desktop has no global shortcut service: bind a key to \"murmuro --toggle\" in "
            "its keyboard settings.");
    }
    if (shortcut.trigger.isEmpty()) {
        return QStringLiteral("The desktop has not bound the shortcut yet.");
    }
    return QStringLiteral("The desktop binds the shortcut to ") + shortcut.trigger + u'.';
}

GlobalHotkey::GlobalHotkey(AppState& state, HotkeyService& service, DesktopNotifications& notifications,
                           Actions actions)
    : m_state(state)
    , m_service(service)
    , m_notifications(notifications)
    , m_actions(std::move(actions)) {}

void GlobalHotkey::installHotkeyHandler() {
    m_service.installHandler([this] { hotkeyEventHandler(); }, [this] { hotkeyReleased(); });
    m_service.setDesktopShortcutHandler(
        [this](const DesktopShortcut& shortcut) { m_state.setHotkeyNote(desktopShortcutNote(shortcut)); });
}

void GlobalHotkey::registerHotkey() {
    // The old combination is given back before the new one is taken, so re-registering an unchanged
    // combination does not collide with itself.
    m_state.eventHotKeyRef.reset();
    const std::optional<QKeyCombination> combination =
        qtKeyCombination(m_state.hotkeyKeyCode(), carbonModifiers(m_state.hotkeyModifiers()));
    if (!combination) {
        qCWarning(lcHotkey).noquote() << QStringLiteral("The hotkey's key code %1 names no key; no hotkey.")
                                             .arg(m_state.hotkeyKeyCode());
        return;
    }
    m_state.eventHotKeyRef = m_service.registerHotkey(*combination);
    if (m_state.eventHotKeyRef || m_refusalPending) {
        return;
    }
    // The start-up and the shortcut recorder assign the key code and the modifiers one after the other;
    // only the combination they end with is worth a notification.
    m_refusalPending = true;
    QTimer::singleShot(0, &m_state, [this] {
        m_refusalPending = false;
        if (!m_state.eventHotKeyRef) {
            m_notifications.notify(QStringLiteral("The shortcut %1 could not be taken; another program may "
                                                  "hold it. Choose another in Settings \u2192 Shortcuts.")
                                       .arg(m_state.hotkeyString()));
        }
    });
}

void GlobalHotkey::hotkeyEventHandler() {
    const bool hold = m_state.hotkeyMode() == AppState::HotkeyMode::hold;
    schedule(hold ? m_actions.holdPressed : m_actions.toggleRecording);
}

void GlobalHotkey::hotkeyReleased() {
    if (m_state.hotkeyMode() == AppState::HotkeyMode::hold) {
        schedule(m_actions.holdReleased);
    }
}

void GlobalHotkey::schedule(const std::function<void()>& action) {
    if (m_state.isRecordingShortcut() || !action) {
        return;
    }
    QMetaObject::invokeMethod(&m_state, action, Qt::QueuedConnection);
}
