#pragma once

#include "core/Stages.h"

#include <QtGlobal>

#include <functional>

class AppState;
class DesktopNotifications;
class HotkeyService;

/// The registration modifiers for stored hotkey modifiers: Command, Option, Shift and Control are
/// converted, every other bit (Caps Lock, numeric pad, ...) is left out.
quint32 carbonModifiers(quint64 hotkeyModifiers);

/// Keeps the one system-wide hotkey registered for the combination in AppState and turns its presses into
/// dictation toggles, except while the shortcut recorder listens. A combination the desktop refuses, most
/// likely because another program holds it, is named in a notification.
class GlobalHotkey : public HotkeyRegistrar {
public:
    GlobalHotkey(AppState& state, HotkeyService& service, DesktopNotifications& notifications,
                 std::function<void()> toggleRecording);

    void installHotkeyHandler() override;

    /// Replaces the current registration; a refused combination leaves none.
    void registerHotkey() override;

    /// A press of the registered combination: the toggle runs later as a task of its own on the main thread.
    void hotkeyEventHandler();

private:
    AppState& m_state;
    HotkeyService& m_service;
    DesktopNotifications& m_notifications;
    std::function<void()> m_toggleRecording;
    bool m_refusalPending = false;
};
