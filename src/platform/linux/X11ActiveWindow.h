#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <xcb/xcb.h>

#include <optional>

/// The EWMH view of the windows on one X11 screen: which window is active, what it is called, whether it
/// still exists, and asking the window manager to activate one. Every request's error comes back to the
/// caller as an absent answer, so a window that vanishes midway only makes the answer empty.
class X11ActiveWindow {
public:
    X11ActiveWindow(xcb_connection_t* connection, xcb_window_t root);

    /// The window the window manager reports as active, or XCB_WINDOW_NONE.
    xcb_window_t current() const;

    bool exists(xcb_window_t window) const;

    /// _NET_WM_NAME in UTF-8, else WM_NAME; nothing when neither is set or both are empty.
    std::optional<QString> title(xcb_window_t window) const;

    /// The instance and class names of WM_CLASS, those that are set.
    QStringList classNames(xcb_window_t window) const;

    /// Sends the _NET_ACTIVE_WINDOW request, on behalf of the user, as a pager would.
    void activate(xcb_window_t window) const;

private:
    xcb_atom_t atom(const char* name) const;
    std::optional<QByteArray> property(xcb_window_t window, xcb_atom_t property, xcb_atom_t* type) const;

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    xcb_atom_t m_netActiveWindow;
    xcb_atom_t m_netWmName;
    xcb_atom_t m_utf8String;
};
