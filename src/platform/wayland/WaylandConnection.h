#pragma once

#include <QByteArray>
#include <QSocketNotifier>

#include <memory>
#include <vector>

struct wl_display;
struct wl_interface;
struct wl_proxy;

/// A connection of the program's own to the compositor, beside Qt's, for the extensions Qt does not speak
/// (virtual keyboard, layer shell). Events are dispatched from the main event loop. Objects bound through
/// it must be destroyed before it.
class WaylandConnection {
public:
    /// Nothing when no compositor answers at WAYLAND_DISPLAY.
    static std::unique_ptr<WaylandConnection> connect();
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    bool hasGlobal(const char* interface) const;
    /// Binds the first global of the interface at the version; nullptr when the compositor has none.
    wl_proxy* bind(const wl_interface& interface, quint32 version);

    wl_display* display() const { return m_display; }
    /// Sends what is queued; false once the connection is broken.
    bool flush();
    /// Waits until the compositor has handled everything sent so far; false once the connection is broken.
    bool roundtrip();

private:
    struct Global {
        quint32 name;
        QByteArray interface;
        quint32 version;
    };

    explicit WaylandConnection(wl_display* display);
    void dispatch();

    wl_display* m_display;
    std::vector<Global> m_globals;
    std::unique_ptr<QSocketNotifier> m_events;
};
