#pragma once

#include "platform/OverlaySurface.h"

#include <QImage>
#include <QSize>

#include <array>
#include <memory>

class WaylandConnection;
struct wl_buffer;
struct wl_compositor;
struct wl_proxy;
struct wl_shm;
struct wl_surface;

/// A picture floating above every window at the bottom centre of the output the compositor picks (the one
/// the user last interacted with), on the layer shell's overlay layer: it never takes the keyboard focus and
/// lets every click through. This is how a Wayland client floats a pill without stealing the focus that the
/// paste needs; a toplevel window would be tiled and focused like any other.
class LayerShellOverlay : public OverlaySurface {
public:
    /// Nothing when the compositor lacks the layer shell (GNOME).
    static std::unique_ptr<LayerShellOverlay> create(std::shared_ptr<WaylandConnection> connection);
    ~LayerShellOverlay() override;
    LayerShellOverlay(const LayerShellOverlay&) = delete;
    LayerShellOverlay& operator=(const LayerShellOverlay&) = delete;

    /// The first frame maps the surface; every frame has the size of the first.
    void show(const QImage& frame) override;
    void hide() override;
    bool isShown() const { return m_layerSurface != nullptr; }

    /// Layer surface and buffer events.
    void configure(uint32_t serial);
    void closed();
    void released(wl_buffer* buffer);

private:
    struct Buffer {
        wl_buffer* buffer = nullptr;
        uchar* pixels = nullptr;
        bool busy = false;
    };

    LayerShellOverlay(std::shared_ptr<WaylandConnection> connection, wl_compositor* compositor, wl_shm* shm,
                      wl_proxy* layerShell);
    bool allocateBuffers(QSize size);
    void releaseBuffers();
    void present();

    std::shared_ptr<WaylandConnection> m_connection;
    QSize m_size;
    wl_compositor* m_compositor;
    wl_shm* m_shm;
    wl_proxy* m_layerShell;
    std::array<Buffer, 2> m_buffers;
    size_t m_poolSize = 0;
    void* m_pool = nullptr;
    wl_surface* m_surface = nullptr;
    wl_proxy* m_layerSurface = nullptr;
    bool m_configured = false;
    QImage m_frame;
};
