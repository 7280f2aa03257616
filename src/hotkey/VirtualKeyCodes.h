#pragma once

#include <QtGlobal>

/// The virtual key codes in which the hotkey is stored: positions on an ANSI keyboard, independent of the
/// layout. Every platform translates them at its own boundary.
namespace VirtualKey {
constexpr quint16 a = 0x00;
constexpr quint16 s = 0x01;
constexpr quint16 d = 0x02;
constexpr quint16 f = 0x03;
constexpr quint16 h = 0x04;
constexpr quint16 g = 0x05;
constexpr quint16 z = 0x06;
constexpr quint16 x = 0x07;
constexpr quint16 c = 0x08;
constexpr quint16 v = 0x09;
constexpr quint16 b = 0x0B;
constexpr quint16 q = 0x0C;
constexpr quint16 w = 0x0D;
constexpr quint16 e = 0x0E;
constexpr quint16 r = 0x0F;
constexpr quint16 y = 0x10;
constexpr quint16 t = 0x11;
constexpr quint16 digit1 = 0x12;
constexpr quint16 digit2 = 0x13;
constexpr quint16 digit3 = 0x14;
constexpr quint16 digit4 = 0x15;
constexpr quint16 digit6 = 0x16;
constexpr quint16 digit5 = 0x17;
constexpr quint16 equal = 0x18;
constexpr quint16 digit9 = 0x19;
constexpr quint16 digit7 = 0x1A;
constexpr quint16 minus = 0x1B;
constexpr quint16 digit8 = 0x1C;
constexpr quint16 digit0 = 0x1D;
constexpr quint16 rightBracket = 0x1E;
constexpr quint16 o = 0x1F;
constexpr quint16 u = 0x20;
constexpr quint16 leftBracket = 0x21;
constexpr quint16 i = 0x22;
constexpr quint16 p = 0x23;
constexpr quint16 returnKey = 0x24;
constexpr quint16 l = 0x25;
constexpr quint16 j = 0x26;
constexpr quint16 quote = 0x27;
constexpr quint16 k = 0x28;
constexpr quint16 semicolon = 0x29;
constexpr quint16 backslash = 0x2A;
constexpr quint16 comma = 0x2B;
constexpr quint16 slash = 0x2C;
constexpr quint16 n = 0x2D;
constexpr quint16 m = 0x2E;
constexpr quint16 period = 0x2F;
constexpr quint16 tab = 0x30;
constexpr quint16 space = 0x31;
constexpr quint16 grave = 0x32;
constexpr quint16 deleteKey = 0x33;
constexpr quint16 escape = 0x35;
constexpr quint16 f17 = 0x40;
constexpr quint16 keypadDecimal = 0x41;
constexpr quint16 keypadMultiply = 0x43;
constexpr quint16 keypadPlus = 0x45;
constexpr quint16 keypadDivide = 0x4B;
constexpr quint16 keypadEnter = 0x4C;
constexpr quint16 keypadMinus = 0x4E;
constexpr quint16 f18 = 0x4F;
constexpr quint16 f19 = 0x50;
constexpr quint16 keypadEquals = 0x51;
constexpr quint16 keypad0 = 0x52;
constexpr quint16 keypad1 = 0x53;
constexpr quint16 keypad2 = 0x54;
constexpr quint16 keypad3 = 0x55;
constexpr quint16 keypad4 = 0x56;
constexpr quint16 keypad5 = 0x57;
constexpr quint16 keypad6 = 0x58;
constexpr quint16 keypad7 = 0x59;
constexpr quint16 f20 = 0x5A;
constexpr quint16 keypad8 = 0x5B;
constexpr quint16 keypad9 = 0x5C;
constexpr quint16 f5 = 0x60;
constexpr quint16 f6 = 0x61;
constexpr quint16 f7 = 0x62;
constexpr quint16 f3 = 0x63;
constexpr quint16 f8 = 0x64;
constexpr quint16 f9 = 0x65;
constexpr quint16 f11 = 0x67;
constexpr quint16 f13 = 0x69;
constexpr quint16 f16 = 0x6A;
constexpr quint16 f14 = 0x6B;
constexpr quint16 f10 = 0x6D;
constexpr quint16 f12 = 0x6F;
constexpr quint16 f15 = 0x71;
constexpr quint16 home = 0x73;
constexpr quint16 pageUp = 0x74;
constexpr quint16 forwardDelete = 0x75;
constexpr quint16 f4 = 0x76;
constexpr quint16 end = 0x77;
constexpr quint16 f2 = 0x78;
constexpr quint16 pageDown = 0x79;
constexpr quint16 f1 = 0x7A;
constexpr quint16 leftArrow = 0x7B;
constexpr quint16 rightArrow = 0x7C;
constexpr quint16 downArrow = 0x7D;
constexpr quint16 upArrow = 0x7E;
} // namespace VirtualKey

/// The device-independent modifier bits of the stored hotkey modifiers.
namespace ModifierFlag {
constexpr quint64 capsLock = 0x10000;
constexpr quint64 shift = 0x20000;
constexpr quint64 control = 0x40000;
constexpr quint64 option = 0x80000;
constexpr quint64 command = 0x100000;
constexpr quint64 numericPad = 0x200000;
constexpr quint64 function = 0x800000;
constexpr quint64 deviceIndependentMask = 0xFFFF0000;
} // namespace ModifierFlag

/// The modifier bits a hotkey is registered with.
namespace HotkeyModifier {
constexpr quint32 command = 0x100;
constexpr quint32 shift = 0x200;
constexpr quint32 option = 0x800;
constexpr quint32 control = 0x1000;
} // namespace HotkeyModifier
