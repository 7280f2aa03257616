#pragma once

#include <QKeyCombination>

#include <optional>
#include <span>

/// A key as Qt names it and the X keysym of that key.
struct X11HotkeyKeysym {
    Qt::Key key;
    bool keypad;
    quint32 keysym;
};

/// Every key that can be grabbed as a hotkey.
std::span<const X11HotkeyKeysym> x11HotkeyKeysyms();

/// The keysym of the combination's key (Qt::KeypadModifier picks the keypad's); nothing for a key outside the
/// table.
std::optional<quint32> x11HotkeyKeysymOf(QKeyCombination combination);
