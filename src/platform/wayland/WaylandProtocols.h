#pragma once

#include <wayland-client-core.h>

// Client-side descriptions of the compositor extensions this program speaks beyond the core protocol, in the
// form libwayland marshals requests from. Only requests are described: none of these objects sends events
// that the program listens to, except the layer surface's, whose listener is declared beside it.

extern const wl_interface zwp_virtual_keyboard_manager_v1_interface;
extern const wl_interface zwp_virtual_keyboard_v1_interface;
extern const wl_interface zwlr_layer_shell_v1_interface;
extern const wl_interface zwlr_layer_surface_v1_interface;

// Request opcodes, in the order the protocols declare them.
namespace VirtualKeyboardRequest {
constexpr uint32_t keymap = 0;
constexpr uint32_t key = 1;
constexpr uint32_t modifiers = 2;
constexpr uint32_t destroy = 3;
} // namespace VirtualKeyboardRequest

namespace VirtualKeyboardManagerRequest {
constexpr uint32_t createVirtualKeyboard = 0;
} // namespace VirtualKeyboardManagerRequest

namespace LayerShellRequest {
constexpr uint32_t getLayerSurface = 0;
constexpr uint32_t overlayLayer = 3;
} // namespace LayerShellRequest

namespace LayerSurfaceRequest {
constexpr uint32_t setSize = 0;
constexpr uint32_t setAnchor = 1;
constexpr uint32_t setExclusiveZone = 2;
constexpr uint32_t setMargin = 3;
constexpr uint32_t setKeyboardInteractivity = 4;
constexpr uint32_t ackConfigure = 6;
constexpr uint32_t destroy = 7;
constexpr uint32_t anchorBottom = 2;
} // namespace LayerSurfaceRequest

/// The layer surface's events: configure(serial, width, height) and closed.
struct LayerSurfaceListener {
    void (*configure)(void* data, wl_proxy* surface, uint32_t serial, uint32_t width, uint32_t height);
    void (*closed)(void* data, wl_proxy* surface);
};
