#include "platform/wayland/WaylandProtocols.h"

#include <wayland-client-protocol.h>

namespace {

// Argument types, looked up by the messages below through offsets into this table.
// Not const: libwayland's message type takes a mutable table.
const wl_interface* types[] = {
    nullptr, // 0: plain arguments
    nullptr,
    nullptr,
    nullptr,
    &wl_seat_interface, // 4: create_virtual_keyboard
    &zwp_virtual_keyboard_v1_interface,
    &zwlr_layer_surface_v1_interface, // 6: get_layer_surface
    &wl_surface_interface,
    &wl_output_interface,
    nullptr,
    nullptr,
};

const wl_message virtualKeyboardRequests[] = {
    {"keymap", "uhu", types},
    {"key", "uuu", types},
    {"modifiers", "uuuu", types},
    {"destroy", "", types},
};

const wl_message virtualKeyboardManagerRequests[] = {
    {"create_virtual_keyboard", "on", types + 4},
};

const wl_message layerShellRequests[] = {
    {"get_layer_surface", "no?ous", types + 6},
};

const wl_message layerSurfaceRequests[] = {
    {"set_size", "uu", types},
    {"set_anchor", "u", types},
    {"set_exclusive_zone", "i", types},
    {"set_margin", "iiii", types},
    {"set_keyboard_interactivity", "u", types},
    {"get_popup", "o", types},
    {"ack_configure", "u", types},
    {"destroy", "", types},
};

const wl_message layerSurfaceEvents[] = {
    {"configure", "uuu", types},
    {"closed", "", types},
};

} // namespace

const wl_interface zwp_virtual_keyboard_v1_interface = {"zwp_virtual_keyboard_v1", 1, 4,
                                                        virtualKeyboardRequests,   0, nullptr};
const wl_interface zwp_virtual_keyboard_manager_v1_interface = {
    "zwp_virtual_keyboard_manager_v1", 1, 1, virtualKeyboardManagerRequests, 0, nullptr};
const wl_interface zwlr_layer_shell_v1_interface = {"zwlr_layer_shell_v1", 1, 1,
                                                    layerShellRequests,    0, nullptr};
const wl_interface zwlr_layer_surface_v1_interface = {"zwlr_layer_surface_v1", 1, 8,
                                                      layerSurfaceRequests,    2, layerSurfaceEvents};
