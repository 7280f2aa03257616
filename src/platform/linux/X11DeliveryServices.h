#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/KeyboardEvents.h"
#include "platform/Workspace.h"

#include <chrono>
#include <memory>
#include <optional>

/// The services that bring text into another X11 application: the active window, the XTEST check and the
/// synthetic paste, all over the display connection Qt already has.
struct X11DeliveryServices {
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<AccessibilityTrust> accessibilityTrust;
    std::unique_ptr<KeyboardEvents> keyboardEvents;
};

/// How long a paste waits at most for the user to let go of the modifier keys.
inline constexpr std::chrono::milliseconds defaultModifierReleaseLimit{1000};

/// Nothing unless the QGuiApplication runs on the xcb platform with a working display connection.
std::optional<X11DeliveryServices>
connectX11DeliveryServices(std::chrono::milliseconds modifierReleaseLimit = defaultModifierReleaseLimit);
