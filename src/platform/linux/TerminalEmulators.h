#pragma once

#include <QString>

/// Whether an application name (an X11 WM_CLASS instance or class, or a Wayland application id) belongs to
/// a terminal emulator whose paste shortcut is Ctrl+Shift+V, Ctrl+V being the shell's. Compared without case.
bool isTerminalEmulator(const QString& applicationName);
