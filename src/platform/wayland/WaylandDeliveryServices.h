#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/KeyboardEvents.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"
#include "platform/wayland/LayerShellOverlay.h"
#include "platform/wayland/PortalGlobalShortcuts.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

/// The services that bring text into another application of a Wayland session and start a dictation there.
/// Wayland shows no client a frontmost window nor lets it activate one, so the workspace has none: the
/// paste goes to the window with the focus, which the overlay never takes.
struct WaylandDeliveryServices {
    std::unique_ptr<Pasteboard> pasteboard;
    std::unique_ptr<Workspace> workspace;
    std::unique_ptr<AccessibilityTrust> accessibilityTrust;
    std::unique_ptr<KeyboardEvents> keyboardEvents;
    std::unique_ptr<PortalGlobalShortcuts> hotkeyService;
    /// Nothing where the compositor has no layer shell.
    std::unique_ptr<LayerShellOverlay> overlay;
};

/// Nothing unless the QGuiApplication runs on Qt's wayland platform. tellUser shows the user one line.
std::optional<WaylandDeliveryServices>
connectWaylandDeliveryServices(std::function<void(const QString&)> tellUser,
                               std::chrono::milliseconds modifierReleaseLimit);
