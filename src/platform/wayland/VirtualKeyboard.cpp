#include "platform/wayland/VirtualKeyboard.h"

#include "log/Log.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandProtocols.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr std::chrono::milliseconds settleTime{500};
// xkb key codes are Linux input event codes shifted by 8.
constexpr quint32 xkbKeycodeOffset = 8;
constexpr quint32 keymapFormatXkbV1 = 1;
constexpr quint32 keyReleased = 0;
constexpr quint32 keyPressed = 1;

xkb_keymap* usKeymap() {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (!context) {
        return nullptr;
    }
    const xkb_rule_names names = {"evdev", "pc105", "us", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_context_unref(context);
    return keymap;
}

// The keymap as text in a sealed memory file, which is how the protocol hands it over.
int keymapFile(xkb_keymap* keymap, quint32& size) {
    char* text = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
    if (!text) {
        return -1;
    }
    const size_t length = std::strlen(text) + 1;
    const int fd = memfd_create("murmuro-keymap", MFD_CLOEXEC);
    bool written = fd >= 0;
    for (size_t done = 0; written && done < length;) {
        const ssize_t n = write(fd, text + done, length - done);
        written = n > 0;
        done += written ? static_cast<size_t>(n) : 0;
    }
    std::free(text);
    if (!written) {
        if (fd >= 0) {
            close(fd);
        }
        return -1;
    }
    size = static_cast<quint32>(length);
    return fd;
}

// The protocol wants a millisecond clock with any base, the same for all of one keyboard's events.
quint32 milliseconds() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<quint32>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

} // namespace

std::unique_ptr<VirtualKeyboard> VirtualKeyboard::create(std::shared_ptr<WaylandConnection> connection) {
    if (!connection->hasGlobal(zwp_virtual_keyboard_manager_v1_interface.name)) {
        return nullptr;
    }
    xkb_keymap* keymap = usKeymap();
    quint32 size = 0;
    const int fd = keymap ? keymapFile(keymap, size) : -1;
    if (fd < 0) {
        qCWarning(lcOutput).noquote() << "Could not build the virtual keyboard's keymap";
        xkb_keymap_unref(keymap);
        return nullptr;
    }
    auto* seat = reinterpret_cast<wl_seat*>(connection->bind(wl_seat_interface, 1));
    auto* manager = connection->bind(zwp_virtual_keyboard_manager_v1_interface, 1);
    if (!seat || !manager) {
        close(fd);
        xkb_keymap_unref(keymap);
        return nullptr;
    }
    wl_proxy* keyboard =
        wl_proxy_marshal_constructor(manager, VirtualKeyboardManagerRequest::createVirtualKeyboard,
                                     &zwp_virtual_keyboard_v1_interface, seat, nullptr);
    wl_proxy_marshal(keyboard, VirtualKeyboardRequest::keymap, keymapFormatXkbV1, fd, size);
    close(fd);
    std::unique_ptr<VirtualKeyboard> result(new VirtualKeyboard(connection, seat, manager, keyboard, keymap));
    if (!connection->roundtrip()) {
        qCWarning(lcOutput).noquote() << "The compositor refused the virtual keyboard";
        return nullptr;
    }
    return result;
}

VirtualKeyboard::VirtualKeyboard(std::shared_ptr<WaylandConnection> connection, wl_seat* seat,
                                 wl_proxy* manager, wl_proxy* keyboard, xkb_keymap* keymap)
    : m_connection(connection)
    , m_seat(seat)
    , m_manager(manager)
    , m_keyboard(keyboard)
    , m_keymap(keymap)
    , m_state(xkb_state_new(keymap))
    , m_settled(settleTime) {}

VirtualKeyboard::~VirtualKeyboard() {
    wl_proxy_marshal(m_keyboard, VirtualKeyboardRequest::destroy);
    wl_proxy_destroy(m_keyboard);
    wl_proxy_destroy(m_manager);
    wl_seat_destroy(m_seat);
    m_connection->flush();
    xkb_state_unref(m_state);
    xkb_keymap_unref(m_keymap);
}

bool VirtualKeyboard::tap(std::initializer_list<quint32> keys) {
    for (const quint32 key : keys) {
        send(key, true);
    }
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
        send(*key, false);
    }
    return m_connection->flush();
}

void VirtualKeyboard::send(quint32 key, bool pressed) {
    wl_proxy_marshal(m_keyboard, VirtualKeyboardRequest::key, milliseconds(), key,
                     pressed ? keyPressed : keyReleased);
    // Compositors that do not derive the modifiers from the keys (the protocol leaves it open) learn them
    // here.
    xkb_state_update_key(m_state, key + xkbKeycodeOffset, pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
    wl_proxy_marshal(m_keyboard, VirtualKeyboardRequest::modifiers,
                     xkb_state_serialize_mods(m_state, XKB_STATE_MODS_DEPRESSED),
                     xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LATCHED),
                     xkb_state_serialize_mods(m_state, XKB_STATE_MODS_LOCKED),
                     xkb_state_serialize_layout(m_state, XKB_STATE_LAYOUT_EFFECTIVE));
}
