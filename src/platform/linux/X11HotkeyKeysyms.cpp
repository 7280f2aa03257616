#include "platform/linux/X11HotkeyKeysyms.h"

#include <X11/keysym.h>

#include <algorithm>
#include <array>

namespace {

constexpr std::array keysyms{
    X11HotkeyKeysym{Qt::Key_A, false, XK_a},
    X11HotkeyKeysym{Qt::Key_B, false, XK_b},
    X11HotkeyKeysym{Qt::Key_C, false, XK_c},
    X11HotkeyKeysym{Qt::Key_D, false, XK_d},
    X11HotkeyKeysym{Qt::Key_E, false, XK_e},
    X11HotkeyKeysym{Qt::Key_F, false, XK_f},
    X11HotkeyKeysym{Qt::Key_G, false, XK_g},
    X11HotkeyKeysym{Qt::Key_H, false, XK_h},
    X11HotkeyKeysym{Qt::Key_I, false, XK_i},
    X11HotkeyKeysym{Qt::Key_J, false, XK_j},
    X11HotkeyKeysym{Qt::Key_K, false, XK_k},
    X11HotkeyKeysym{Qt::Key_L, false, XK_l},
    X11HotkeyKeysym{Qt::Key_M, false, XK_m},
    X11HotkeyKeysym{Qt::Key_N, false, XK_n},
    X11HotkeyKeysym{Qt::Key_O, false, XK_o},
    X11HotkeyKeysym{Qt::Key_P, false, XK_p},
    X11HotkeyKeysym{Qt::Key_Q, false, XK_q},
    X11HotkeyKeysym{Qt::Key_R, false, XK_r},
    X11HotkeyKeysym{Qt::Key_S, false, XK_s},
    X11HotkeyKeysym{Qt::Key_T, false, XK_t},
    X11HotkeyKeysym{Qt::Key_U, false, XK_u},
    X11HotkeyKeysym{Qt::Key_V, false, XK_v},
    X11HotkeyKeysym{Qt::Key_W, false, XK_w},
    X11HotkeyKeysym{Qt::Key_X, false, XK_x},
    X11HotkeyKeysym{Qt::Key_Y, false, XK_y},
    X11HotkeyKeysym{Qt::Key_Z, false, XK_z},
    X11HotkeyKeysym{Qt::Key_0, false, XK_0},
    X11HotkeyKeysym{Qt::Key_1, false, XK_1},
    X11HotkeyKeysym{Qt::Key_2, false, XK_2},
    X11HotkeyKeysym{Qt::Key_3, false, XK_3},
    X11HotkeyKeysym{Qt::Key_4, false, XK_4},
    X11HotkeyKeysym{Qt::Key_5, false, XK_5},
    X11HotkeyKeysym{Qt::Key_6, false, XK_6},
    X11HotkeyKeysym{Qt::Key_7, false, XK_7},
    X11HotkeyKeysym{Qt::Key_8, false, XK_8},
    X11HotkeyKeysym{Qt::Key_9, false, XK_9},
    X11HotkeyKeysym{Qt::Key_Minus, false, XK_minus},
    X11HotkeyKeysym{Qt::Key_Equal, false, XK_equal},
    X11HotkeyKeysym{Qt::Key_BracketLeft, false, XK_bracketleft},
    X11HotkeyKeysym{Qt::Key_BracketRight, false, XK_bracketright},
    X11HotkeyKeysym{Qt::Key_Backslash, false, XK_backslash},
    X11HotkeyKeysym{Qt::Key_Semicolon, false, XK_semicolon},
    X11HotkeyKeysym{Qt::Key_Apostrophe, false, XK_apostrophe},
    X11HotkeyKeysym{Qt::Key_Comma, false, XK_comma},
    X11HotkeyKeysym{Qt::Key_Period, false, XK_period},
    X11HotkeyKeysym{Qt::Key_Slash, false, XK_slash},
    X11HotkeyKeysym{Qt::Key_QuoteLeft, false, XK_grave},
    X11HotkeyKeysym{Qt::Key_Return, false, XK_Return},
    X11HotkeyKeysym{Qt::Key_Tab, false, XK_Tab},
    X11HotkeyKeysym{Qt::Key_Space, false, XK_space},
    X11HotkeyKeysym{Qt::Key_Backspace, false, XK_BackSpace},
    X11HotkeyKeysym{Qt::Key_Escape, false, XK_Escape},
    X11HotkeyKeysym{Qt::Key_Delete, false, XK_Delete},
    X11HotkeyKeysym{Qt::Key_Home, false, XK_Home},
    X11HotkeyKeysym{Qt::Key_End, false, XK_End},
    X11HotkeyKeysym{Qt::Key_PageUp, false, XK_Page_Up},
    X11HotkeyKeysym{Qt::Key_PageDown, false, XK_Page_Down},
    X11HotkeyKeysym{Qt::Key_Left, false, XK_Left},
    X11HotkeyKeysym{Qt::Key_Right, false, XK_Right},
    X11HotkeyKeysym{Qt::Key_Up, false, XK_Up},
    X11HotkeyKeysym{Qt::Key_Down, false, XK_Down},
    X11HotkeyKeysym{Qt::Key_F1, false, XK_F1},
    X11HotkeyKeysym{Qt::Key_F2, false, XK_F2},
    X11HotkeyKeysym{Qt::Key_F3, false, XK_F3},
    X11HotkeyKeysym{Qt::Key_F4, false, XK_F4},
    X11HotkeyKeysym{Qt::Key_F5, false, XK_F5},
    X11HotkeyKeysym{Qt::Key_F6, false, XK_F6},
    X11HotkeyKeysym{Qt::Key_F7, false, XK_F7},
    X11HotkeyKeysym{Qt::Key_F8, false, XK_F8},
    X11HotkeyKeysym{Qt::Key_F9, false, XK_F9},
    X11HotkeyKeysym{Qt::Key_F10, false, XK_F10},
    X11HotkeyKeysym{Qt::Key_F11, false, XK_F11},
    X11HotkeyKeysym{Qt::Key_F12, false, XK_F12},
    X11HotkeyKeysym{Qt::Key_F13, false, XK_F13},
    X11HotkeyKeysym{Qt::Key_F14, false, XK_F14},
    X11HotkeyKeysym{Qt::Key_F15, false, XK_F15},
    X11HotkeyKeysym{Qt::Key_F16, false, XK_F16},
    X11HotkeyKeysym{Qt::Key_F17, false, XK_F17},
    X11HotkeyKeysym{Qt::Key_F18, false, XK_F18},
    X11HotkeyKeysym{Qt::Key_F19, false, XK_F19},
    X11HotkeyKeysym{Qt::Key_F20, false, XK_F20},
    X11HotkeyKeysym{Qt::Key_0, true, XK_KP_0},
    X11HotkeyKeysym{Qt::Key_1, true, XK_KP_1},
    X11HotkeyKeysym{Qt::Key_2, true, XK_KP_2},
    X11HotkeyKeysym{Qt::Key_3, true, XK_KP_3},
    X11HotkeyKeysym{Qt::Key_4, true, XK_KP_4},
    X11HotkeyKeysym{Qt::Key_5, true, XK_KP_5},
    X11HotkeyKeysym{Qt::Key_6, true, XK_KP_6},
    X11HotkeyKeysym{Qt::Key_7, true, XK_KP_7},
    X11HotkeyKeysym{Qt::Key_8, true, XK_KP_8},
    X11HotkeyKeysym{Qt::Key_9, true, XK_KP_9},
    X11HotkeyKeysym{Qt::Key_Period, true, XK_KP_Decimal},
    X11HotkeyKeysym{Qt::Key_Asterisk, true, XK_KP_Multiply},
    X11HotkeyKeysym{Qt::Key_Plus, true, XK_KP_Add},
    X11HotkeyKeysym{Qt::Key_Minus, true, XK_KP_Subtract},
    X11HotkeyKeysym{Qt::Key_Slash, true, XK_KP_Divide},
    X11HotkeyKeysym{Qt::Key_Equal, true, XK_KP_Equal},
    X11HotkeyKeysym{Qt::Key_Enter, true, XK_KP_Enter},
};

} // namespace

std::span<const X11HotkeyKeysym> x11HotkeyKeysyms() {
    return keysyms;
}

std::optional<quint32> x11HotkeyKeysymOf(QKeyCombination combination) {
    const bool keypad = combination.keyboardModifiers().testFlag(Qt::KeypadModifier);
    const auto row = std::ranges::find_if(keysyms, [&](const X11HotkeyKeysym& entry) {
        return entry.key == combination.key() && entry.keypad == keypad;
    });
    if (row == keysyms.end())
        return std::nullopt;
    return row->keysym;
}
