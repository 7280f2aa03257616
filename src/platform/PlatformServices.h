#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/AudioCapture.h"
#include "platform/Clock.h"
#include "platform/DesktopNotifications.h"
#include "platform/HotkeyService.h"
#include "platform/KeyboardEvents.h"
#include "platform/MicrophonePermission.h"
#include "platform/OverlaySurface.h"
#include "platform/Pasteboard.h"
#include "platform/SystemSound.h"
#include "platform/Workspace.h"

#include <memory>

/// One implementation of every platform service, chosen for the desktop the program runs on.
struct PlatformServices {
    std::unique_ptr<Clock> clock;
    std::unique_ptr<AudioCapture> audioCapture;
    std::unique_ptr<MicrophonePermission> microphonePermission;
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<SystemSound> systemSound;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<AccessibilityTrust> accessibilityTrust;
    std::unique_ptr<KeyboardEvents> keyboardEvents;
    std::unique_ptr<HotkeyService> hotkeyService;
    std::unique_ptr<DesktopNotifications> notifications;
    /// Where the desktop floats the overlay itself (Wayland); nothing where the overlay is a window of the
    /// program's own that follows the pointer (X11).
    std::unique_ptr<OverlaySurface> overlaySurface;
};

/// Needs the QGuiApplication to exist, since some services talk to its display connection: the Wayland
/// services on Qt's wayland platform, else the X11 ones.
PlatformServices createPlatformServices();
