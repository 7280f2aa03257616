#include "platform/wayland/LayerShellOverlay.h"

#include "log/Log.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandProtocols.h"

#include <wayland-client.h>

#include <QPainter>

#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr int bottomMargin = 48;
constexpr uint32_t noKeyboardInteractivity = 0;
const char* const layerNamespace = "murmuro-overlay";

void onConfigure(void* data, wl_proxy* surface, uint32_t serial, uint32_t, uint32_t) {
    wl_proxy_marshal(surface, LayerSurfaceRequest::ackConfigure, serial);
    static_cast<LayerShellOverlay*>(data)->configure(serial);
}

void onClosed(void* data, wl_proxy*) {
    static_cast<LayerShellOverlay*>(data)->closed();
}

const LayerSurfaceListener layerSurfaceListener = {&onConfigure, &onClosed};

void onRelease(void* data, wl_buffer* buffer) {
    static_cast<LayerShellOverlay*>(data)->released(buffer);
}

const wl_buffer_listener bufferListener = {&onRelease};

} // namespace

std::unique_ptr<LayerShellOverlay> LayerShellOverlay::create(std::shared_ptr<WaylandConnection> connection) {
    if (!connection->hasGlobal(zwlr_layer_shell_v1_interface.name)) {
        qCInfo(lcDesktop).noquote() << "No overlay: the compositor has no layer shell";
        return nullptr;
    }
    auto* compositor = reinterpret_cast<wl_compositor*>(connection->bind(wl_compositor_interface, 4));
    auto* shm = reinterpret_cast<wl_shm*>(connection->bind(wl_shm_interface, 1));
    wl_proxy* layerShell = connection->bind(zwlr_layer_shell_v1_interface, 1);
    std::unique_ptr<LayerShellOverlay> overlay(
        new LayerShellOverlay(connection, compositor, shm, layerShell));
    if (!compositor || !shm || !layerShell) {
        qCWarning(lcDesktop).noquote() << "No overlay: the compositor's globals could not be bound";
        return nullptr;
    }
    return overlay;
}

LayerShellOverlay::LayerShellOverlay(std::shared_ptr<WaylandConnection> connection, wl_compositor* compositor,
                                     wl_shm* shm, wl_proxy* layerShell)
    : m_connection(std::move(connection))
    , m_compositor(compositor)
    , m_shm(shm)
    , m_layerShell(layerShell) {}

LayerShellOverlay::~LayerShellOverlay() {
    hide();
    releaseBuffers();
    if (m_layerShell) {
        wl_proxy_destroy(m_layerShell);
    }
    if (m_shm) {
        wl_shm_destroy(m_shm);
    }
    if (m_compositor) {
        wl_compositor_destroy(m_compositor);
    }
    m_connection->flush();
}

void LayerShellOverlay::releaseBuffers() {
    for (Buffer& buffer : m_buffers) {
        if (buffer.buffer) {
            wl_buffer_destroy(buffer.buffer);
        }
        buffer = Buffer{};
    }
    if (m_pool) {
        munmap(m_pool, m_poolSize);
        m_pool = nullptr;
    }
    m_size = QSize();
}

bool LayerShellOverlay::allocateBuffers(QSize size) {
    m_size = size;
    const int stride = m_size.width() * 4;
    const size_t bufferSize = static_cast<size_t>(stride) * static_cast<size_t>(m_size.height());
    m_poolSize = bufferSize * m_buffers.size();
    const int fd = memfd_create("murmuro-overlay", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(m_poolSize)) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        return false;
    }
    void* pool = mmap(nullptr, m_poolSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (pool == MAP_FAILED) {
        close(fd);
        return false;
    }
    m_pool = pool;
    wl_shm_pool* shmPool = wl_shm_create_pool(m_shm, fd, static_cast<int32_t>(m_poolSize));
    close(fd);
    for (size_t i = 0; i < m_buffers.size(); ++i) {
        const int offset = static_cast<int>(i * bufferSize);
        // ARGB8888 in memory on a little-endian machine is QImage's premultiplied ARGB32.
        m_buffers[i].buffer = wl_shm_pool_create_buffer(shmPool, offset, m_size.width(), m_size.height(),
                                                        stride, WL_SHM_FORMAT_ARGB8888);
        m_buffers[i].pixels = static_cast<uchar*>(m_pool) + offset;
        wl_buffer_add_listener(m_buffers[i].buffer, &bufferListener, this);
    }
    wl_shm_pool_destroy(shmPool);
    return m_connection->flush();
}

void LayerShellOverlay::show(const QImage& frame) {
    if (frame.size() != m_size) {
        // The buffers are made for the frames' size, which changes only if the overlay's window does.
        hide();
        releaseBuffers();
        if (!allocateBuffers(frame.size())) {
            qCWarning(lcDesktop).noquote() << "No overlay: its buffers could not be set up";
            releaseBuffers();
            return;
        }
    }
    m_frame = frame;
    if (m_layerSurface) {
        present();
        return;
    }
    m_surface = wl_compositor_create_surface(m_compositor);
    // An empty input region: clicks and touches go to whatever lies below.
    wl_region* nothing = wl_compositor_create_region(m_compositor);
    wl_surface_set_input_region(m_surface, nothing);
    wl_region_destroy(nothing);
    m_layerSurface = wl_proxy_marshal_constructor(m_layerShell, LayerShellRequest::getLayerSurface,
                                                  &zwlr_layer_surface_v1_interface, nullptr, m_surface,
                                                  nullptr, LayerShellRequest::overlayLayer, layerNamespace);
    wl_proxy_add_listener(
        m_layerSurface,
        reinterpret_cast<void (**)(void)>(const_cast<LayerSurfaceListener*>(&layerSurfaceListener)), this);
    wl_proxy_marshal(m_layerSurface, LayerSurfaceRequest::setSize, m_size.width(), m_size.height());
    wl_proxy_marshal(m_layerSurface, LayerSurfaceRequest::setAnchor, LayerSurfaceRequest::anchorBottom);
    wl_proxy_marshal(m_layerSurface, LayerSurfaceRequest::setMargin, 0, 0, bottomMargin, 0);
    wl_proxy_marshal(m_layerSurface, LayerSurfaceRequest::setKeyboardInteractivity, noKeyboardInteractivity);
    // The first commit carries no buffer; the compositor answers with a configure, then frames may follow.
    wl_surface_commit(m_surface);
    m_connection->flush();
}

void LayerShellOverlay::configure(uint32_t) {
    // The size is fixed, so only the first configure brings anything to draw: the surface's first frame.
    if (!m_configured) {
        m_configured = true;
        present();
    }
}

void LayerShellOverlay::present() {
    if (!m_configured || m_frame.isNull()) {
        return;
    }
    for (Buffer& buffer : m_buffers) {
        if (buffer.busy) {
            continue;
        }
        QImage target(buffer.pixels, m_size.width(), m_size.height(), QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&target);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(target.rect(), Qt::transparent);
        painter.drawImage(0, 0, m_frame);
        painter.end();
        buffer.busy = true;
        wl_surface_attach(m_surface, buffer.buffer, 0, 0);
        wl_surface_damage(m_surface, 0, 0, m_size.width(), m_size.height());
        wl_surface_commit(m_surface);
        m_connection->flush();
        return;
    }
    // Both buffers are still on screen: this frame is skipped, the next tick draws anew.
}

void LayerShellOverlay::released(wl_buffer* released) {
    for (Buffer& buffer : m_buffers) {
        if (buffer.buffer == released) {
            buffer.busy = false;
        }
    }
}

void LayerShellOverlay::hide() {
    if (!m_layerSurface) {
        return;
    }
    wl_proxy_marshal(m_layerSurface, LayerSurfaceRequest::destroy);
    wl_proxy_destroy(m_layerSurface);
    wl_surface_destroy(m_surface);
    m_layerSurface = nullptr;
    m_surface = nullptr;
    m_configured = false;
    // The compositor lets go of a destroyed surface's buffers.
    for (Buffer& buffer : m_buffers) {
        buffer.busy = false;
    }
    m_connection->flush();
}

void LayerShellOverlay::closed() {
    qCInfo(lcDesktop).noquote() << "The compositor closed the overlay";
    hide();
}
