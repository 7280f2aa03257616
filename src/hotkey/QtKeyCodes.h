#pragma once

// The one place that knows how the hotkey is stored (virtual key codes of an ANSI keyboard and the modifier
// bits of VirtualKeyCodes.h) and how that maps to keys as Qt names them.

#include <QKeyCombination>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <span>

/// A Qt key as the hotkey stores it.
struct VirtualKeyOfQtKey {
    quint16 keyCode;
    /// Device-independent bits the key itself carries: numeric pad for keypad keys and arrows, function for
    /// function, navigation and arrow keys.
    quint64 keyFlags;
    /// The text the key produces without modifiers, upper-cased; a symbol for the keys without text.
    QString name;
};

/// One Qt key, as key events deliver it, and the virtual key at the same place on a US keyboard.
struct QtKeyMapping {
    int qtKey;
    bool keypad;
    quint16 keyCode;
};

/// Every Qt key the recorder understands, unshifted and shifted, with and without Num Lock.
std::span<const QtKeyMapping> qtKeyMappings();

/// The virtual key of a Qt key event (keypad: the event carried Qt::KeypadModifier); nothing for keys that
/// have no virtual key code, such as modifiers pressed alone or letters outside the US layout.
std::optional<VirtualKeyOfQtKey> virtualKeyOfQtKey(int qtKey, bool keypad);

/// The stored key code with registration modifiers as a Qt key combination, for the platform's hotkey
/// service: Command is Meta, Option is Alt; keypad keys carry Qt::KeypadModifier. Nothing for a key code
/// outside the table.
std::optional<QKeyCombination> qtKeyCombination(quint16 keyCode, quint32 registrationModifiers);
