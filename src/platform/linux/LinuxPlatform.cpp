#include "platform/PlatformServices.h"

#include "log/Log.h"
#include "platform/linux/CanberraSystemSound.h"
#include "platform/linux/GrantedMicrophonePermission.h"
#include "platform/linux/GstAudioCapture.h"
#include "platform/linux/QClipboardPasteboard.h"
#include "platform/linux/X11DeliveryServices.h"
#include "platform/linux/X11HotkeyService.h"
#include "platform/null/NullPlatform.h"

#include <QGuiApplication>

PlatformServices createPlatformServices() {
    PlatformServices services;
    services.clock = std::make_unique<SteadyClock>();
    services.audioCapture = std::make_unique<GstAudioCapture>();
    services.microphonePermission = std::make_unique<GrantedMicrophonePermission>();
    services.pasteboard = std::make_unique<QClipboardPasteboard>();
    services.systemSound = std::make_unique<CanberraSystemSound>();
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
