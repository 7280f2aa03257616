#include "platform/linux/X11DeliveryServices.h"

#include "platform/linux/X11ActiveWindow.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestAccessibilityTrust.h"
#include "platform/linux/XTestKeyboardEvents.h"

#include <QGuiApplication>

std::optional<X11DeliveryServices>
connectX11DeliveryServices(std::chrono::milliseconds modifierReleaseLimit) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = app ? app->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection || xcb_connection_has_error(connection)) {
        return std::nullopt;
    }
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    if (screens.rem == 0) {
        return std::nullopt;
    }
    const auto windows = std::make_shared<const X11ActiveWindow>(connection, screens.data->root);

    X11DeliveryServices services;
    services.workspace = std::make_unique<X11Workspace>(windows);
    services.accessibilityTrust = std::make_unique<XTestAccessibilityTrust>(connection);
    services.keyboardEvents =
        std::make_unique<XTestKeyboardEvents>(connection, windows, modifierReleaseLimit);
    return services;
}
