#include "platform/linux/XTestKeyboardEvents.h"

#include "log/Log.h"
#include "platform/linux/TerminalEmulators.h"
#include "platform/linux/XcbSupport.h"

#include <xcb/xtest.h>

#include <cstdlib>
#include <optional>
#include <vector>

namespace {

constexpr std::chrono::milliseconds releasePollInterval{20};

constexpr xcb_keysym_t keysymLowercaseV = 0x0076;

// Modifier rows of the server's modifier mapping.
constexpr int shiftRow = 0;
constexpr int controlRow = 2;
constexpr int modifierRows = 8;

XcbReply<xcb_get_modifier_mapping_reply_t> modifierMapping(xcb_connection_t* connection) {
    return XcbReply<xcb_get_modifier_mapping_reply_t>(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
}

std::optional<xcb_keycode_t> firstKeyOfModifier(const xcb_get_modifier_mapping_reply_t& mapping, int row) {
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(&mapping);
    for (int i = 0; i < mapping.keycodes_per_modifier; ++i) {
        if (const xcb_keycode_t keycode = keycodes[row * mapping.keycodes_per_modifier + i]) {
            return keycode;
        }
    }
    return std::nullopt;
}

// The key that types the keysym in the current layout, preferring one where it needs no Shift.
std::optional<xcb_keycode_t> keycodeFor(xcb_connection_t* connection, xcb_keysym_t keysym) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    const int count = setup->max_keycode - setup->min_keycode + 1;
    const XcbReply<xcb_get_keyboard_mapping_reply_t> mapping(xcb_get_keyboard_mapping_reply(
        connection, xcb_get_keyboard_mapping(connection, setup->min_keycode, static_cast<uint8_t>(count)),
        nullptr));
    if (!mapping || mapping->keysyms_per_keycode == 0) {
        return std::nullopt;
    }
    const xcb_keysym_t* keysyms = xcb_get_keyboard_mapping_keysyms(mapping.get());
    const int perKey = mapping->keysyms_per_keycode;
    for (int column = 0; column < perKey; ++column) {
        for (int key = 0; key < count; ++key) {
            if (keysyms[key * perKey + column] == keysym) {
                return static_cast<xcb_keycode_t>(setup->min_keycode + key);
            }
        }
    }
    return std::nullopt;
}

/// Keys pressed through XTEST, released in reverse order when it goes out of scope, so that no failure
/// leaves a synthetic key down.
class SyntheticKeys {
public:
    explicit SyntheticKeys(xcb_connection_t* connection)
        : m_connection(connection) {}
    ~SyntheticKeys() {
        for (auto key = m_down.rbegin(); key != m_down.rend(); ++key) {
            send(XCB_KEY_RELEASE, *key);
        }
        xcb_flush(m_connection);
    }
    SyntheticKeys(const SyntheticKeys&) = delete;
    SyntheticKeys& operator=(const SyntheticKeys&) = delete;

    /// False when the server refused the press; the key is then not down.
    bool press(xcb_keycode_t key) {
        if (!send(XCB_KEY_PRESS, key)) {
            return false;
        }
        m_down.push_back(key);
        return true;
    }

private:
    bool send(uint8_t type, xcb_keycode_t key) {
        const xcb_void_cookie_t cookie =
            xcb_test_fake_input_checked(m_connection, type, key, XCB_CURRENT_TIME, XCB_WINDOW_NONE, 0, 0, 0);
        xcb_generic_error_t* error = xcb_request_check(m_connection, cookie);
        std::free(error);
        return error == nullptr;
    }

    xcb_connection_t* m_connection;
    std::vector<xcb_keycode_t> m_down;
};

} // namespace

XTestKeyboardEvents::XTestKeyboardEvents(xcb_connection_t* connection,
                                         std::shared_ptr<const X11ActiveWindow> windows,
                                         std::chrono::milliseconds modifierReleaseLimit)
    : m_connection(connection)
    , m_windows(std::move(windows))
    , m_modifierReleaseLimit(modifierReleaseLimit) {
    m_releasePoll.setInterval(releasePollInterval);
    connect(&m_releasePoll, &QTimer::timeout, this, &XTestKeyboardEvents::postOnceModifiersReleased);
}

void XTestKeyboardEvents::postPasteKeystroke() {
    ++m_pendingPastes;
    if (m_releasePoll.isActive()) {
        return;
    }
    m_releaseDeadline = QDeadlineTimer(m_modifierReleaseLimit);
    postOnceModifiersReleased();
}

void XTestKeyboardEvents::postOnceModifiersReleased() {
    if (modifierKeyHeld() && !m_releaseDeadline.hasExpired()) {
        m_releasePoll.start();
        return;
    }
    m_releasePoll.stop();
    for (; m_pendingPastes > 0; --m_pendingPastes) {
        typePaste();
    }
}

bool XTestKeyboardEvents::modifierKeyHeld() const {
    const xcb_query_keymap_cookie_t keymapCookie = xcb_query_keymap(m_connection);
    const XcbReply<xcb_get_modifier_mapping_reply_t> mapping = modifierMapping(m_connection);
    const XcbReply<xcb_query_keymap_reply_t> keymap(
        xcb_query_keymap_reply(m_connection, keymapCookie, nullptr));
    if (!mapping || !keymap) {
        return false;
    }
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(mapping.get());
    for (int i = 0; i < modifierRows * mapping->keycodes_per_modifier; ++i) {
        const xcb_keycode_t key = keycodes[i];
        if (key != 0 && (keymap->keys[key / 8] & (1u << (key % 8)))) {
            return true;
        }
    }
    return false;
}

bool XTestKeyboardEvents::activeWindowIsTerminal() const {
    const QStringList names = m_windows->classNames(m_windows->current());
    for (const QString& name : names) {
        if (isTerminalEmulator(name)) {
            return true;
        }
    }
    return false;
}

void XTestKeyboardEvents::typePaste() {
    const XcbReply<xcb_get_modifier_mapping_reply_t> mapping = modifierMapping(m_connection);
    if (!mapping) {
        qCWarning(lcOutput).noquote()
            << QStringLiteral("No paste: the X server did not send its modifier map.");
        return;
    }
    const std::optional<xcb_keycode_t> control = firstKeyOfModifier(*mapping, controlRow);
    const std::optional<xcb_keycode_t> shift = firstKeyOfModifier(*mapping, shiftRow);
    const std::optional<xcb_keycode_t> v = keycodeFor(m_connection, keysymLowercaseV);
    const bool withShift = activeWindowIsTerminal();
    if (!control || !v || (withShift && !shift)) {
        qCWarning(lcOutput).noquote()
            << QStringLiteral("No paste: the keyboard map has no key for Control, Shift or V.");
        return;
    }

    SyntheticKeys keys(m_connection);
    if (!keys.press(*control) || (withShift && !keys.press(*shift)) || !keys.press(*v)) {
        qCWarning(lcOutput).noquote() << QStringLiteral("No paste: the X server refused a synthetic key.");
    }
}
