#include "platform/wayland/WaylandDeliveryServices.h"

#include "log/Log.h"
#include "platform/linux/QClipboardPasteboard.h"
#include "platform/null/NullPlatform.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "platform/wayland/FocusedApplication.h"
#include "platform/wayland/PortalRemoteDesktopPaste.h"
#include "platform/wayland/VirtualKeyboard.h"
#include "platform/wayland/VirtualKeyboardPaste.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeyboardEvents.h"
#include "platform/wayland/YdotoolPaste.h"

#include <QGuiApplication>

namespace {

/// Paste is possible while some method may work; the deliverer tells the user when none does.
class WaylandPasteTrust : public AccessibilityTrust {
public:
    explicit WaylandPasteTrust(WaylandKeyboardEvents& keyboard)
        : m_keyboard(keyboard) {}
    bool isTrustedPromptingUser() override { return m_keyboard.canPaste(); }

private:
    WaylandKeyboardEvents& m_keyboard;
};

} // namespace

std::optional<WaylandDeliveryServices>
connectWaylandDeliveryServices(std::function<void(const QString&)> tellUser,
                               std::chrono::milliseconds modifierReleaseLimit) {
    if (QGuiApplication::platformName() != QLatin1String("wayland")) {
        return std::nullopt;
    }
    const std::shared_ptr<WaylandConnection> connection = WaylandConnection::connect();
    const bool dataControl = connection && (connection->hasGlobal("zwlr_data_control_manager_v1") ||
                                            connection->hasGlobal("ext_data_control_manager_v1"));

    WaylandDeliveryServices services;
    if (DataControlPasteboard::isSupported(dataControl)) {
        services.pasteboard = std::make_unique<DataControlPasteboard>();
    } else {
        qCInfo(lcOutput).noquote() << "The clipboard goes through Qt: no data-control protocol or no wl-copy";
        services.pasteboard = std::make_unique<QClipboardPasteboard>();
    }
    services.workspace = std::make_unique<NullWorkspace>();
    services.hotkeyService = std::make_unique<PortalGlobalShortcuts>(QDBusConnection::sessionBus());

    std::vector<std::unique_ptr<PasteMethod>> methods;
    if (std::unique_ptr<VirtualKeyboard> keyboard =
            connection ? VirtualKeyboard::create(connection) : nullptr) {
        methods.push_back(std::make_unique<VirtualKeyboardPaste>(std::move(keyboard)));
    }
    methods.push_back(std::make_unique<PortalRemoteDesktopPaste>(QDBusConnection::sessionBus()));
    methods.push_back(std::make_unique<YdotoolPaste>());
    PortalGlobalShortcuts* shortcuts = services.hotkeyService.get();
    auto keyboardEvents = std::make_unique<WaylandKeyboardEvents>(
        std::move(methods),
        WaylandKeyboardEvents::Hooks{[shortcuts] { return shortcuts->isHeld(); }, focusedApplicationId,
                                     std::move(tellUser)},
        modifierReleaseLimit);
    services.accessibilityTrust = std::make_unique<WaylandPasteTrust>(*keyboardEvents);
    services.keyboardEvents = std::move(keyboardEvents);
    if (connection) {
        services.overlay = LayerShellOverlay::create(connection);
    }
    return services;
}
