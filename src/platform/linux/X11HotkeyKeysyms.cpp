#include "platform/linux/X11HotkeyKeysyms.h"

#include "platform/VirtualKeyCodes.h"

#include <X11/keysym.h>

#include <algorithm>
#include <array>

namespace {

using namespace VirtualKey;

constexpr std::array keysyms{
    X11HotkeyKeysym{a, XK_a},
    X11HotkeyKeysym{b, XK_b},
    X11HotkeyKeysym{c, XK_c},
    X11HotkeyKeysym{d, XK_d},
    X11HotkeyKeysym{e, XK_e},
    X11HotkeyKeysym{f, XK_f},
    X11HotkeyKeysym{g, XK_g},
    X11HotkeyKeysym{h, XK_h},
    X11HotkeyKeysym{i, XK_i},
    X11HotkeyKeysym{j, XK_j},
    X11HotkeyKeysym{k, XK_k},
    X11HotkeyKeysym{l, XK_l},
    X11HotkeyKeysym{m, XK_m},
    X11HotkeyKeysym{n, XK_n},
    X11HotkeyKeysym{o, XK_o},
    X11HotkeyKeysym{p, XK_p},
    X11HotkeyKeysym{q, XK_q},
    X11HotkeyKeysym{r, XK_r},
    X11HotkeyKeysym{s, XK_s},
    X11HotkeyKeysym{t, XK_t},
    X11HotkeyKeysym{u, XK_u},
    X11HotkeyKeysym{v, XK_v},
    X11HotkeyKeysym{w, XK_w},
    X11HotkeyKeysym{x, XK_x},
    X11HotkeyKeysym{y, XK_y},
    X11HotkeyKeysym{z, XK_z},
    X11HotkeyKeysym{digit0, XK_0},
    X11HotkeyKeysym{digit1, XK_1},
    X11HotkeyKeysym{digit2, XK_2},
    X11HotkeyKeysym{digit3, XK_3},
    X11HotkeyKeysym{digit4, XK_4},
    X11HotkeyKeysym{digit5, XK_5},
    X11HotkeyKeysym{digit6, XK_6},
    X11HotkeyKeysym{digit7, XK_7},
    X11HotkeyKeysym{digit8, XK_8},
    X11HotkeyKeysym{digit9, XK_9},
    X11HotkeyKeysym{minus, XK_minus},
    X11HotkeyKeysym{equal, XK_equal},
    X11HotkeyKeysym{leftBracket, XK_bracketleft},
    X11HotkeyKeysym{rightBracket, XK_bracketright},
    X11HotkeyKeysym{backslash, XK_backslash},
    X11HotkeyKeysym{semicolon, XK_semicolon},
    X11HotkeyKeysym{quote, XK_apostrophe},
    X11HotkeyKeysym{comma, XK_comma},
    X11HotkeyKeysym{period, XK_period},
    X11HotkeyKeysym{slash, XK_slash},
    X11HotkeyKeysym{grave, XK_grave},
    X11HotkeyKeysym{returnKey, XK_Return},
    X11HotkeyKeysym{tab, XK_Tab},
    X11HotkeyKeysym{space, XK_space},
    X11HotkeyKeysym{deleteKey, XK_BackSpace},
    X11HotkeyKeysym{escape, XK_Escape},
    X11HotkeyKeysym{forwardDelete, XK_Delete},
    X11HotkeyKeysym{home, XK_Home},
    X11HotkeyKeysym{end, XK_End},
    X11HotkeyKeysym{pageUp, XK_Page_Up},
    X11HotkeyKeysym{pageDown, XK_Page_Down},
    X11HotkeyKeysym{leftArrow, XK_Left},
    X11HotkeyKeysym{rightArrow, XK_Right},
    X11HotkeyKeysym{upArrow, XK_Up},
    X11HotkeyKeysym{downArrow, XK_Down},
    X11HotkeyKeysym{f1, XK_F1},
    X11HotkeyKeysym{f2, XK_F2},
    X11HotkeyKeysym{f3, XK_F3},
    X11HotkeyKeysym{f4, XK_F4},
    X11HotkeyKeysym{f5, XK_F5},
    X11HotkeyKeysym{f6, XK_F6},
    X11HotkeyKeysym{f7, XK_F7},
    X11HotkeyKeysym{f8, XK_F8},
    X11HotkeyKeysym{f9, XK_F9},
    X11HotkeyKeysym{f10, XK_F10},
    X11HotkeyKeysym{f11, XK_F11},
    X11HotkeyKeysym{f12, XK_F12},
    X11HotkeyKeysym{f13, XK_F13},
    X11HotkeyKeysym{f14, XK_F14},
    X11HotkeyKeysym{f15, XK_F15},
    X11HotkeyKeysym{f16, XK_F16},
    X11HotkeyKeysym{f17, XK_F17},
    X11HotkeyKeysym{f18, XK_F18},
    X11HotkeyKeysym{f19, XK_F19},
    X11HotkeyKeysym{f20, XK_F20},
    X11HotkeyKeysym{keypad0, XK_KP_0},
    X11HotkeyKeysym{keypad1, XK_KP_1},
    X11HotkeyKeysym{keypad2, XK_KP_2},
    X11HotkeyKeysym{keypad3, XK_KP_3},
    X11HotkeyKeysym{keypad4, XK_KP_4},
    X11HotkeyKeysym{keypad5, XK_KP_5},
    X11HotkeyKeysym{keypad6, XK_KP_6},
    X11HotkeyKeysym{keypad7, XK_KP_7},
    X11HotkeyKeysym{keypad8, XK_KP_8},
    X11HotkeyKeysym{keypad9, XK_KP_9},
    X11HotkeyKeysym{keypadDecimal, XK_KP_Decimal},
    X11HotkeyKeysym{keypadMultiply, XK_KP_Multiply},
    X11HotkeyKeysym{keypadPlus, XK_KP_Add},
    X11HotkeyKeysym{keypadMinus, XK_KP_Subtract},
    X11HotkeyKeysym{keypadDivide, XK_KP_Divide},
    X11HotkeyKeysym{keypadEquals, XK_KP_Equal},
    X11HotkeyKeysym{keypadEnter, XK_KP_Enter},
};

} // namespace

std::span<const X11HotkeyKeysym> x11HotkeyKeysyms() {
    return keysyms;
}

std::optional<quint32> x11HotkeyKeysymOf(quint16 keyCode) {
    const auto row = std::ranges::find(keysyms, keyCode, &X11HotkeyKeysym::keyCode);
    if (row == keysyms.end())
        return std::nullopt;
    return row->keysym;
}
