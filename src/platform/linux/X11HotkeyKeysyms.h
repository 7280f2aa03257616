#pragma once

#include <QtGlobal>

#include <optional>
#include <span>

/// A virtual key code and the X keysym of the key at the same place on a US keyboard.
struct X11HotkeyKeysym {
    quint16 keyCode;
    quint32 keysym;
};

/// Every virtual key that can be grabbed as a hotkey.
std::span<const X11HotkeyKeysym> x11HotkeyKeysyms();

/// Nothing for a virtual key code outside the table.
std::optional<quint32> x11HotkeyKeysymOf(quint16 keyCode);
