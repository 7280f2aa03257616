#pragma once

#include <QKeyCombination>
#include <QString>

#include <functional>
#include <memory>

/// Holds a system-wide key combination; destroying it gives the combination back.
class HotkeyRegistration {
public:
    virtual ~HotkeyRegistration() = default;
};

/// Where the desktop, not the program, holds the shortcut (Wayland): whether it offers a global-shortcut
/// service, and the trigger it says it bound, which the user may have changed in its dialog.
struct DesktopShortcut {
    bool serviceAvailable = true;
    QString trigger;
};

/// System-wide key combinations.
class HotkeyService {
public:
    virtual ~HotkeyService() = default;

    /// Called with every change of what the desktop reports; never where the program grabs keys itself.
    virtual void setDesktopShortcutHandler(std::function<void(const DesktopShortcut&)>) {}

    /// onPressed runs on the main thread for every press of a registered combination, onReleased when the
    /// combination no longer holds: its key or one of its modifiers was let go. Key repeat counts as neither.
    virtual void installHandler(std::function<void()> onPressed, std::function<void()> onReleased) = 0;

    /// Takes the combination of a key with Control, Alt, Shift and Meta (the Super or Windows key);
    /// Qt::KeypadModifier names a key of the numeric pad. Nothing when the system refuses it, which is logged
    /// with the reason.
    virtual std::unique_ptr<HotkeyRegistration> registerHotkey(QKeyCombination combination) = 0;
};
