#include "hotkey/ShortcutRecorderView.h"

#include "core/AppState.h"
#include "hotkey/QtKeyCodes.h"
#include "hotkey/VirtualKeyCodes.h"

#include <QKeyEvent>

namespace {

// The X11 core state and the xkb modifier indices both put Lock at bit 1 of the native modifiers.
constexpr quint32 nativeLockBit = 0x2;

quint64 modifierFlags(const QKeyEvent& event, quint64 keyFlags) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    quint64 flags = keyFlags;
    if (event.nativeModifiers() & nativeLockBit)
        flags |= ModifierFlag::capsLock;
    if (modifiers & Qt::ShiftModifier)
        flags |= ModifierFlag::shift;
    if (modifiers & Qt::ControlModifier)
        flags |= ModifierFlag::control;
    if (modifiers & Qt::AltModifier)
        flags |= ModifierFlag::option;
    if (modifiers & Qt::MetaModifier)
        flags |= ModifierFlag::command;
    return flags & ModifierFlag::deviceIndependentMask;
}

std::optional<VirtualKeyOfQtKey> virtualKeyOf(const QKeyEvent& event) {
    return virtualKeyOfQtKey(event.key(), event.modifiers() & Qt::KeypadModifier);
}

bool isRecordable(const QKeyEvent& event) {
    const auto key = virtualKeyOf(event);
    return key && !key->name.isEmpty();
}

QString modifierSymbols(quint64 flags) {
    QString prefix;
    if (flags & ModifierFlag::control)
        prefix += QStringLiteral("\u2303");
    if (flags & ModifierFlag::option)
        prefix += QStringLiteral("\u2325");
    if (flags & ModifierFlag::shift)
        prefix += QStringLiteral("\u21E7");
    if (flags & ModifierFlag::command)
        prefix += QStringLiteral("\u2318");
    return prefix;
}

} // namespace

ShortcutRecorderView::ShortcutRecorderView(AppState& state, QWidget* parent)
    : QPushButton(parent)
    , m_state(state) {
    setMinimumWidth(150);
    // Only the keyboard focus sees key presses, so a click gives the button the focus.
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QPushButton::clicked, this, &ShortcutRecorderView::toggleListening);
    connect(&m_state, &AppState::isRecordingShortcutChanged, this, &ShortcutRecorderView::showLabel);
    connect(&m_state, &AppState::hotkeyStringChanged, this, &ShortcutRecorderView::showLabel);
    showLabel();
}

void ShortcutRecorderView::toggleListening() {
    m_state.setIsRecordingShortcut(!m_state.isRecordingShortcut());
    if (m_state.isRecordingShortcut())
        startListening();
    else
        stopListening();
}

void ShortcutRecorderView::startListening() {
    m_listening = true;
    setFocus(Qt::OtherFocusReason);
}

void ShortcutRecorderView::stopListening() {
    m_listening = false;
    m_state.setIsRecordingShortcut(false);
}

bool ShortcutRecorderView::event(QEvent* event) {
    if (!m_listening)
        return QPushButton::event(event);
    // Claiming the override keeps application shortcuts from taking the key; handling the press here
    // keeps Tab, Return and Space from moving the focus or clicking the button.
    if (event->type() == QEvent::ShortcutOverride && isRecordable(static_cast<QKeyEvent&>(*event))) {
        event->accept();
        return true;
    }
    if (event->type() == QEvent::KeyPress && handleRecordedKey(static_cast<QKeyEvent&>(*event))) {
        event->accept();
        return true;
    }
    return QPushButton::event(event);
}

void ShortcutRecorderView::hideEvent(QHideEvent* event) {
    if (m_listening)
        stopListening();
    QPushButton::hideEvent(event);
}

bool ShortcutRecorderView::handleRecordedKey(const QKeyEvent& event) {
    const auto key = virtualKeyOf(event);
    if (key && key->keyCode == VirtualKey::escape) {
        m_state.setIsRecordingShortcut(false);
        stopListening();
        return true;
    }
    if (!key || key->name.isEmpty())
        return false;

    const quint64 flags = modifierFlags(event, key->keyFlags);
    m_state.setHotkeyKeyCode(key->keyCode);
    m_state.setHotkeyModifiers(flags);
    m_state.setHotkeyString(modifierSymbols(flags) + key->name);
    m_state.setIsRecordingShortcut(false);
    stopListening();
    return true;
}

void ShortcutRecorderView::showLabel() {
    setText(m_state.isRecordingShortcut() ? QStringLiteral("Listening... (Esc to cancel)")
                                          : m_state.hotkeyString());
}
