#pragma once

#include <QImage>

/// Where the overlay's frames go on a desktop that places and stacks the floating pill itself (Wayland's
/// layer shell) instead of letting the program move a window of its own after the pointer.
class OverlaySurface {
public:
    virtual ~OverlaySurface() = default;

    /// Shows the frame (the overlay window's size, premultiplied ARGB) above every window, never taking the
    /// keyboard focus or a click.
    virtual void show(const QImage& frame) = 0;
    virtual void hide() = 0;
};
