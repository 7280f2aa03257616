#include "platform/PlatformServices.h"

#include "log/Log.h"
#include "platform/linux/CanberraSystemSound.h"
#include "platform/linux/FreedesktopNotifications.h"
#include "platform/linux/GrantedMicrophonePermission.h"
#include "platform/linux/GstAudioCapture.h"
#include "platform/linux/QClipboardPasteboard.h"
#include "platform/linux/X11DeliveryServices.h"
#include "platform/linux/X11HotkeyService.h"
#include "platform/null/NullPlatform.h"
#include "platform/wayland/WaylandDeliveryServices.h"

#include <QGuiApplication>

namespace {

void addWaylandServices(PlatformServices& services, WaylandDeliveryServices wayland) {
    services.pasteboard = std::move(wayland.pasteboard);
    services.workspace = std::move(wayland.workspace);
    services.accessibilityTrust = std::move(wayland.accessibilityTrust);
    services.keyboardEvents = std::move(wayland.keyboardEvents);
    services.hotkeyService = std::move(wayland.hotkeyService);
    if (wayland.overlay) {
        services.overlaySurface = std::move(wayland.overlay);
    } else {
        // Without the layer shell a window of ours would be tiled and take the focus the paste needs.
        services.overlaySurface = std::make_unique<NullOverlaySurface>();
    }
}

} // namespace

PlatformServices createPlatformServices() {
    PlatformServices services;
    services.clock = std::make_unique<SteadyClock>();
    services.audioCapture = std::make_unique<GstAudioCapture>();
    services.microphonePermission = std::make_unique<GrantedMicrophonePermission>();
    services.systemSound = std::make_unique<CanberraSystemSound>();
    services.notifications = std::make_unique<FreedesktopNotifications>();
    DesktopNotifications* notifications = services.notifications.get();
    const auto tellUser = [notifications](const QString& line) {
        qCWarning(lcOutput).noquote() << line;
        notifications->notify(line);
    };
    if (std::optional<WaylandDeliveryServices> wayland =
            connectWaylandDeliveryServices(tellUser, defaultModifierReleaseLimit)) {
        addWaylandServices(services, std::move(*wayland));
        return services;
    }
    services.pasteboard = std::make_unique<QClipboardPasteboard>();
    if (std::optional<X11DeliveryServices> x11 = connectX11DeliveryServices()) {
        services.workspace = std::move(x11->workspace);
        services.accessibilityTrust = std::move(x11->accessibilityTrust);
        services.keyboardEvents = std::move(x11->keyboardEvents);
    } else {
        qCWarning(lcDesktop).noquote()
            << QStringLiteral(
                   "No X11 display with the XTEST extension (platform \"%1\"): the text will be put on "
                   "the clipboard but not pasted.")
                   .arg(QGuiApplication::platformName());
        services.workspace = std::make_unique<NullWorkspace>();
        services.accessibilityTrust = std::make_unique<NullAccessibilityTrust>();
        services.keyboardEvents = std::make_unique<NullKeyboardEvents>();
    }
    if (auto hotkeys = X11HotkeyService::create()) {
        services.hotkeyService = std::move(hotkeys);
    } else {
        qCWarning(lcHotkey).noquote()
            << QStringLiteral(
                   "No X11 display (platform \"%1\"): the global hotkey is unavailable; the tray menu "
                   "starts and stops dictations.")
                   .arg(QGuiApplication::platformName());
        services.hotkeyService = std::make_unique<NullHotkeyService>();
    }
    return services;
}
