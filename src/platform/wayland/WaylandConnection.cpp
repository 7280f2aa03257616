#include "platform/wayland/WaylandConnection.h"

#include "log/Log.h"

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

namespace {

struct RegistryListing {
    static void global(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
        static_cast<RegistryListing*>(data)->add(name, interface, version);
    }
    static void globalRemove(void*, wl_registry*, uint32_t) {}

    std::function<void(uint32_t, const char*, uint32_t)> add;
};

const wl_registry_listener registryListener = {&RegistryListing::global, &RegistryListing::globalRemove};

} // namespace

std::unique_ptr<WaylandConnection> WaylandConnection::connect() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        qCWarning(lcDesktop).noquote() << "No connection to the Wayland compositor:" << std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<WaylandConnection> connection(new WaylandConnection(display));
    RegistryListing listing;
    listing.add = [&connection](uint32_t name, const char* interface, uint32_t version) {
        connection->m_globals.push_back({name, QByteArray(interface), version});
    };
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &listing);
    const bool listed = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    if (!listed) {
        qCWarning(lcDesktop).noquote() << "The Wayland compositor did not list its globals";
        return nullptr;
    }
    return connection;
}

WaylandConnection::WaylandConnection(wl_display* display)
    : m_display(display)
    , m_events(std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Read)) {
    QObject::connect(m_events.get(), &QSocketNotifier::activated, m_events.get(), [this] { dispatch(); });
}

WaylandConnection::~WaylandConnection() {
    m_events.reset();
    wl_display_disconnect(m_display);
}

bool WaylandConnection::hasGlobal(const char* interface) const {
    for (const Global& global : m_globals) {
        if (global.interface == interface) {
            return true;
        }
    }
    return false;
}

wl_proxy* WaylandConnection::bind(const wl_interface& interface, quint32 version) {
    for (const Global& global : m_globals) {
        if (global.interface == interface.name) {
            // A registry of its own, so that the binding is independent of the listing done at connection.
            wl_registry* registry = wl_display_get_registry(m_display);
            auto* proxy = static_cast<wl_proxy*>(
                wl_registry_bind(registry, global.name, &interface, std::min(version, global.version)));
            wl_registry_destroy(registry);
            return proxy;
        }
    }
    return nullptr;
}

bool WaylandConnection::flush() {
    return wl_display_flush(m_display) >= 0 || errno == EAGAIN;
}

bool WaylandConnection::roundtrip() {
    return wl_display_roundtrip(m_display) >= 0;
}

void WaylandConnection::dispatch() {
    // Reads only what is there: a roundtrip elsewhere may already have taken what woke the notifier.
    while (wl_display_prepare_read(m_display) != 0) {
        wl_display_dispatch_pending(m_display);
    }
    const bool read = wl_display_read_events(m_display) >= 0 || errno == EAGAIN;
    if (!read || wl_display_dispatch_pending(m_display) < 0) {
        qCWarning(lcDesktop).noquote() << "The connection to the Wayland compositor broke:"
                                       << std::strerror(wl_display_get_error(m_display));
        m_events->setEnabled(false);
    }
}
