#pragma once

#include "core/Stages.h"

#include <QString>
#include <QtGlobal>

#include <functional>

class AppState;
class DesktopNotifications;
class HotkeyService;
struct DesktopShortcut;

/// The registration modifiers for stored hotkey modifiers: Command, Option, Shift and Control are
/// converted, every other bit (Caps Lock, numeric pad, ...) is left out.
quint32 carbonModifiers(quint64 hotkeyModifiers);

/// What Settings says about a shortcut that the desktop holds.
QString desktopShortcutNote(const DesktopShortcut& shortcut);

/// Keeps the one system-wide hotkey registered for the combination in AppState and turns its presses and
/// releases into dictation actions, except while the shortcut recorder listens. A combination the desktop
/// refuses, most likely because another program holds it, is named in a notification.
class GlobalHotkey : public HotkeyRegistrar {
public:
    /// What the hotkey does; each runs later as a task of its own on the main thread.
    struct Actions {
        /// A press in toggle mode.
        std::function<void()> toggleRecording;
        /// A press and a release in hold mode.
        std::function<void()> holdPressed;
        std::function<void()> holdReleased;
    };

    GlobalHotkey(AppState& state, HotkeyService& service, DesktopNotifications& notifications,
                 Actions actions);

    void installHotkeyHandler() override;

    /// Replaces the current registration; a refused combination leaves none.
    void registerHotkey() override;

    /// A press of the registered combination.
    void hotkeyEventHandler();
    /// The combination no longer held.
    void hotkeyReleased();

private:
    void schedule(const std::function<void()>& action);

    AppState& m_state;
    HotkeyService& m_service;
    DesktopNotifications& m_notifications;
    Actions m_actions;
    bool m_refusalPending = false;
};
