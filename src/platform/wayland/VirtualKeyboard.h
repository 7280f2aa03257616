#pragma once

#include <QDeadlineTimer>

#include <initializer_list>
#include <memory>

class WaylandConnection;
struct wl_proxy;
struct wl_seat;
struct xkb_keymap;
struct xkb_state;

/// A keyboard of the program's own in the compositor's seat (the virtual-keyboard protocol), carrying a
/// complete US keymap. Toolkits match shortcuts such as GTK's Ctrl+V by the key's code in their keymap, so
/// a keymap with the usual key codes is what makes a synthetic shortcut work everywhere; a keymap made up
/// of only the typed symbols (as wtype uploads) reaches Qt but not GTK 3.
class VirtualKeyboard {
public:
    /// Nothing when the compositor lacks the protocol or the keymap cannot be built.
    static std::unique_ptr<VirtualKeyboard> create(std::shared_ptr<WaylandConnection> connection);
    ~VirtualKeyboard();
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

    /// A client binds its keyboard only when the seat first gets one, so keys sent at once to a seat that had
    /// none would be lost; a new keyboard is ready once this has passed.
    QDeadlineTimer settled() const { return m_settled; }

    /// Presses the keys (Linux input event codes) in order, then releases them in reverse, keeping the
    /// modifier state in step. False when the connection to the compositor is broken.
    bool tap(std::initializer_list<quint32> keys);

private:
    VirtualKeyboard(std::shared_ptr<WaylandConnection> connection, wl_seat* seat, wl_proxy* manager,
                    wl_proxy* keyboard, xkb_keymap* keymap);
    void send(quint32 key, bool pressed);

    std::shared_ptr<WaylandConnection> m_connection;
    wl_seat* m_seat;
    wl_proxy* m_manager;
    wl_proxy* m_keyboard;
    xkb_keymap* m_keymap;
    xkb_state* m_state;
    QDeadlineTimer m_settled;
};
