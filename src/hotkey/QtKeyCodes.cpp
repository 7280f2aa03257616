#include "hotkey/QtKeyCodes.h"

#include "hotkey/VirtualKeyCodes.h"

#include <Qt>

#include <algorithm>
#include <array>

namespace {

using namespace VirtualKey;

constexpr bool onKeypad = true;
constexpr bool typing = false;

// Unshifted keys first: the name of a virtual key comes from its first row.
constexpr std::array mappings{
    QtKeyMapping{Qt::Key_A, typing, a},
    QtKeyMapping{Qt::Key_B, typing, b},
    QtKeyMapping{Qt::Key_C, typing, c},
    QtKeyMapping{Qt::Key_D, typing, d},
    QtKeyMapping{Qt::Key_E, typing, e},
    QtKeyMapping{Qt::Key_F, typing, f},
    QtKeyMapping{Qt::Key_G, typing, g},
    QtKeyMapping{Qt::Key_H, typing, h},
    QtKeyMapping{Qt::Key_I, typing, i},
    QtKeyMapping{Qt::Key_J, typing, j},
    QtKeyMapping{Qt::Key_K, typing, k},
    QtKeyMapping{Qt::Key_L, typing, l},
    QtKeyMapping{Qt::Key_M, typing, m},
    QtKeyMapping{Qt::Key_N, typing, n},
    QtKeyMapping{Qt::Key_O, typing, o},
    QtKeyMapping{Qt::Key_P, typing, p},
    QtKeyMapping{Qt::Key_Q, typing, q},
    QtKeyMapping{Qt::Key_R, typing, r},
    QtKeyMapping{Qt::Key_S, typing, s},
    QtKeyMapping{Qt::Key_T, typing, t},
    QtKeyMapping{Qt::Key_U, typing, u},
    QtKeyMapping{Qt::Key_V, typing, v},
    QtKeyMapping{Qt::Key_W, typing, w},
    QtKeyMapping{Qt::Key_X, typing, x},
    QtKeyMapping{Qt::Key_Y, typing, y},
    QtKeyMapping{Qt::Key_Z, typing, z},
    QtKeyMapping{Qt::Key_0, typing, digit0},
    QtKeyMapping{Qt::Key_1, typing, digit1},
    QtKeyMapping{Qt::Key_2, typing, digit2},
    QtKeyMapping{Qt::Key_3, typing, digit3},
    QtKeyMapping{Qt::Key_4, typing, digit4},
    QtKeyMapping{Qt::Key_5, typing, digit5},
    QtKeyMapping{Qt::Key_6, typing, digit6},
    QtKeyMapping{Qt::Key_7, typing, digit7},
    QtKeyMapping{Qt::Key_8, typing, digit8},
    QtKeyMapping{Qt::Key_9, typing, digit9},
    QtKeyMapping{Qt::Key_Minus, typing, minus},
    QtKeyMapping{Qt::Key_Equal, typing, equal},
    QtKeyMapping{Qt::Key_BracketLeft, typing, leftBracket},
    QtKeyMapping{Qt::Key_BracketRight, typing, rightBracket},
    QtKeyMapping{Qt::Key_Backslash, typing, backslash},
    QtKeyMapping{Qt::Key_Semicolon, typing, semicolon},
    QtKeyMapping{Qt::Key_Apostrophe, typing, quote},
    QtKeyMapping{Qt::Key_Comma, typing, comma},
    QtKeyMapping{Qt::Key_Period, typing, period},
    QtKeyMapping{Qt::Key_Slash, typing, slash},
    QtKeyMapping{Qt::Key_QuoteLeft, typing, grave},
    QtKeyMapping{Qt::Key_Return, typing, returnKey},
    QtKeyMapping{Qt::Key_Tab, typing, tab},
    QtKeyMapping{Qt::Key_Space, typing, space},
    QtKeyMapping{Qt::Key_Backspace, typing, deleteKey},
    QtKeyMapping{Qt::Key_Escape, typing, escape},
    QtKeyMapping{Qt::Key_Delete, typing, forwardDelete},
    QtKeyMapping{Qt::Key_Home, typing, home},
    QtKeyMapping{Qt::Key_End, typing, end},
    QtKeyMapping{Qt::Key_PageUp, typing, pageUp},
    QtKeyMapping{Qt::Key_PageDown, typing, pageDown},
    QtKeyMapping{Qt::Key_Left, typing, leftArrow},
    QtKeyMapping{Qt::Key_Right, typing, rightArrow},
    QtKeyMapping{Qt::Key_Up, typing, upArrow},
    QtKeyMapping{Qt::Key_Down, typing, downArrow},
    QtKeyMapping{Qt::Key_F1, typing, f1},
    QtKeyMapping{Qt::Key_F2, typing, f2},
    QtKeyMapping{Qt::Key_F3, typing, f3},
    QtKeyMapping{Qt::Key_F4, typing, f4},
    QtKeyMapping{Qt::Key_F5, typing, f5},
    QtKeyMapping{Qt::Key_F6, typing, f6},
    QtKeyMapping{Qt::Key_F7, typing, f7},
    QtKeyMapping{Qt::Key_F8, typing, f8},
    QtKeyMapping{Qt::Key_F9, typing, f9},
    QtKeyMapping{Qt::Key_F10, typing, f10},
    QtKeyMapping{Qt::Key_F11, typing, f11},
    QtKeyMapping{Qt::Key_F12, typing, f12},
    QtKeyMapping{Qt::Key_F13, typing, f13},
    QtKeyMapping{Qt::Key_F14, typing, f14},
    QtKeyMapping{Qt::Key_F15, typing, f15},
    QtKeyMapping{Qt::Key_F16, typing, f16},
    QtKeyMapping{Qt::Key_F17, typing, f17},
    QtKeyMapping{Qt::Key_F18, typing, f18},
    QtKeyMapping{Qt::Key_F19, typing, f19},
    QtKeyMapping{Qt::Key_F20, typing, f20},
    QtKeyMapping{Qt::Key_0, onKeypad, keypad0},
    QtKeyMapping{Qt::Key_1, onKeypad, keypad1},
    QtKeyMapping{Qt::Key_2, onKeypad, keypad2},
    QtKeyMapping{Qt::Key_3, onKeypad, keypad3},
    QtKeyMapping{Qt::Key_4, onKeypad, keypad4},
    QtKeyMapping{Qt::Key_5, onKeypad, keypad5},
    QtKeyMapping{Qt::Key_6, onKeypad, keypad6},
    QtKeyMapping{Qt::Key_7, onKeypad, keypad7},
    QtKeyMapping{Qt::Key_8, onKeypad, keypad8},
    QtKeyMapping{Qt::Key_9, onKeypad, keypad9},
    QtKeyMapping{Qt::Key_Period, onKeypad, keypadDecimal},
    QtKeyMapping{Qt::Key_Asterisk, onKeypad, keypadMultiply},
    QtKeyMapping{Qt::Key_Plus, onKeypad, keypadPlus},
    QtKeyMapping{Qt::Key_Minus, onKeypad, keypadMinus},
    QtKeyMapping{Qt::Key_Slash, onKeypad, keypadDivide},
    QtKeyMapping{Qt::Key_Equal, onKeypad, keypadEquals},
    QtKeyMapping{Qt::Key_Enter, onKeypad, keypadEnter},
    // Shift turns these into other Qt keys on a US keyboard.
    QtKeyMapping{Qt::Key_ParenRight, typing, digit0},
    QtKeyMapping{Qt::Key_Exclam, typing, digit1},
    QtKeyMapping{Qt::Key_At, typing, digit2},
    QtKeyMapping{Qt::Key_NumberSign, typing, digit3},
    QtKeyMapping{Qt::Key_Dollar, typing, digit4},
    QtKeyMapping{Qt::Key_Percent, typing, digit5},
    QtKeyMapping{Qt::Key_AsciiCircum, typing, digit6},
    QtKeyMapping{Qt::Key_Ampersand, typing, digit7},
    QtKeyMapping{Qt::Key_Asterisk, typing, digit8},
    QtKeyMapping{Qt::Key_ParenLeft, typing, digit9},
    QtKeyMapping{Qt::Key_Underscore, typing, minus},
    QtKeyMapping{Qt::Key_Plus, typing, equal},
    QtKeyMapping{Qt::Key_BraceLeft, typing, leftBracket},
    QtKeyMapping{Qt::Key_BraceRight, typing, rightBracket},
    QtKeyMapping{Qt::Key_Bar, typing, backslash},
    QtKeyMapping{Qt::Key_Colon, typing, semicolon},
    QtKeyMapping{Qt::Key_QuoteDbl, typing, quote},
    QtKeyMapping{Qt::Key_Less, typing, comma},
    QtKeyMapping{Qt::Key_Greater, typing, period},
    QtKeyMapping{Qt::Key_Question, typing, slash},
    QtKeyMapping{Qt::Key_AsciiTilde, typing, grave},
    QtKeyMapping{Qt::Key_Backtab, typing, tab},
    // The keypad with Num Lock off.
    QtKeyMapping{Qt::Key_Insert, onKeypad, keypad0},
    QtKeyMapping{Qt::Key_End, onKeypad, keypad1},
    QtKeyMapping{Qt::Key_Down, onKeypad, keypad2},
    QtKeyMapping{Qt::Key_PageDown, onKeypad, keypad3},
    QtKeyMapping{Qt::Key_Left, onKeypad, keypad4},
    QtKeyMapping{Qt::Key_Clear, onKeypad, keypad5},
    QtKeyMapping{Qt::Key_Right, onKeypad, keypad6},
    QtKeyMapping{Qt::Key_Home, onKeypad, keypad7},
    QtKeyMapping{Qt::Key_Up, onKeypad, keypad8},
    QtKeyMapping{Qt::Key_PageUp, onKeypad, keypad9},
    QtKeyMapping{Qt::Key_Delete, onKeypad, keypadDecimal},
};

bool isArrow(quint16 keyCode) {
    return keyCode >= leftArrow && keyCode <= upArrow;
}

bool isKeypad(quint16 keyCode) {
    return std::ranges::any_of(
        mappings, [keyCode](const QtKeyMapping& row) { return row.keypad && row.keyCode == keyCode; });
}

quint64 keyFlags(quint16 keyCode) {
    static constexpr std::array functionKeys{f1,  f2,  f3,   f4,  f5,     f6,       f7,           f8,  f9,
                                             f10, f11, f12,  f13, f14,    f15,      f16,          f17, f18,
                                             f19, f20, home, end, pageUp, pageDown, forwardDelete};
    quint64 flags = 0;
    if (isKeypad(keyCode) || isArrow(keyCode))
        flags |= ModifierFlag::numericPad;
    if (isArrow(keyCode) || std::ranges::find(functionKeys, keyCode) != functionKeys.end())
        flags |= ModifierFlag::function;
    return flags;
}

QString symbolName(quint16 keyCode) {
    switch (keyCode) {
    case returnKey:
    case keypadEnter:
        return QStringLiteral("\u21A9");
    case tab:
        return QStringLiteral("\u21E5");
    case space:
        return QStringLiteral("Space");
    case deleteKey:
        return QStringLiteral("\u232B");
    case escape:
        return QStringLiteral("\u238B");
    case forwardDelete:
        return QStringLiteral("\u2326");
    case home:
        return QStringLiteral("\u2196");
    case end:
        return QStringLiteral("\u2198");
    case pageUp:
        return QStringLiteral("\u21DE");
    case pageDown:
        return QStringLiteral("\u21DF");
    case leftArrow:
        return QStringLiteral("\u2190");
    case rightArrow:
        return QStringLiteral("\u2192");
    case upArrow:
        return QStringLiteral("\u2191");
    case downArrow:
        return QStringLiteral("\u2193");
    default:
        return {};
    }
}

QString keyName(const QtKeyMapping& first) {
    if (QString symbol = symbolName(first.keyCode); !symbol.isEmpty())
        return symbol;
    if (first.qtKey >= Qt::Key_F1 && first.qtKey <= Qt::Key_F20)
        return QStringLiteral("F%1").arg(first.qtKey - Qt::Key_F1 + 1);
    // Below the function keys, Qt's key values are the Latin-1 upper-case characters of the keys.
    return QString(QChar(first.qtKey)).toUpper();
}

} // namespace

std::span<const QtKeyMapping> qtKeyMappings() {
    return mappings;
}

std::optional<VirtualKeyOfQtKey> virtualKeyOfQtKey(int qtKey, bool keypad) {
    const auto row = std::ranges::find_if(
        mappings, [&](const QtKeyMapping& m) { return m.qtKey == qtKey && m.keypad == keypad; });
    if (row == mappings.end())
        return std::nullopt;
    const auto first = std::ranges::find(mappings, row->keyCode, &QtKeyMapping::keyCode);
    return VirtualKeyOfQtKey{row->keyCode, keyFlags(row->keyCode), keyName(*first)};
}

std::optional<QKeyCombination> qtKeyCombination(quint16 keyCode, quint32 registrationModifiers) {
    const auto first = std::ranges::find(mappings, keyCode, &QtKeyMapping::keyCode);
    if (first == mappings.end())
        return std::nullopt;
    Qt::KeyboardModifiers modifiers = first->keypad ? Qt::KeypadModifier : Qt::NoModifier;
    if (registrationModifiers & HotkeyModifier::control)
        modifiers |= Qt::ControlModifier;
    if (registrationModifiers & HotkeyModifier::option)
        modifiers |= Qt::AltModifier;
    if (registrationModifiers & HotkeyModifier::shift)
        modifiers |= Qt::ShiftModifier;
    if (registrationModifiers & HotkeyModifier::command)
        modifiers |= Qt::MetaModifier;
    return QKeyCombination(modifiers, static_cast<Qt::Key>(first->qtKey));
}
