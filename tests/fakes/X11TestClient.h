#pragma once

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>

/// A second X client of the test: types through XTest and competes for key grabs.
class X11TestClient {
public:
    X11TestClient()
        : m_connection(xcb_connect(nullptr, nullptr))
        , m_root(xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root)
        , m_symbols(xcb_key_symbols_alloc(m_connection)) {}
    ~X11TestClient() {
        xcb_key_symbols_free(m_symbols);
        xcb_disconnect(m_connection);
    }
    X11TestClient(const X11TestClient&) = delete;
    X11TestClient& operator=(const X11TestClient&) = delete;

    xcb_keycode_t keycode(xcb_keysym_t keysym) const {
        xcb_keycode_t* keycodes = xcb_key_symbols_get_keycode(m_symbols, keysym);
        const xcb_keycode_t first = keycodes ? keycodes[0] : 0;
        std::free(keycodes);
        return first;
    }

    void press(xcb_keysym_t keysym) { fake(XCB_KEY_PRESS, keysym); }
    void release(xcb_keysym_t keysym) { fake(XCB_KEY_RELEASE, keysym); }

    /// Presses the keys in order and releases them in reverse.
    void type(std::initializer_list<xcb_keysym_t> keysyms) {
        for (const xcb_keysym_t keysym : keysyms)
            press(keysym);
        for (auto keysym = std::rbegin(keysyms); keysym != std::rend(keysyms); ++keysym)
            release(*keysym);
    }

    /// Whether this client got the passive grab (the first two variants are enough to see who holds it).
    bool grab(xcb_keysym_t keysym, uint16_t modifiers) {
        xcb_generic_error_t* error = xcb_request_check(
            m_connection, xcb_grab_key_checked(m_connection, true, m_root, modifiers, keycode(keysym),
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

    void ungrab(xcb_keysym_t keysym, uint16_t modifiers) {
        xcb_ungrab_key(m_connection, keycode(keysym), m_root, modifiers);
        sync();
    }

    uint16_t modifierState() {
        xcb_query_pointer_reply_t* reply =
            xcb_query_pointer_reply(m_connection, xcb_query_pointer(m_connection, m_root), nullptr);
        const uint16_t mask = reply ? reply->mask : 0;
        std::free(reply);
        return mask;
    }

    void sync() {
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

private:
    void fake(uint8_t type, xcb_keysym_t keysym) {
        xcb_test_fake_input(m_connection, type, keycode(keysym), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        sync();
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    xcb_key_symbols_t* m_symbols;
};
