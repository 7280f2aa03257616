#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

/// Holds a system-wide key combination; destroying it gives the combination back.
class HotkeyRegistration {
public:
    virtual ~HotkeyRegistration() = default;
};

/// System-wide key combinations.
class HotkeyService {
public:
    virtual ~HotkeyService() = default;

    /// The handler runs on the main thread for every press of a registered combination; releases and key
    /// repeat do not count.
    virtual void installHandler(std::function<void()> onPressed) = 0;

    /// Takes the combination: a virtual key code and registration modifiers (0x100 Command, 0x200 Shift,
    /// 0x800 Option, 0x1000 Control). Nothing when the system refuses it.
    virtual std::unique_ptr<HotkeyRegistration> registerHotkey(quint32 keyCode, quint32 modifiers) = 0;
};
