#pragma once

/// What the floating indicator shows.
enum class OverlayState { hidden, recording, processing };

/// The floating indicator beside the pointer, as the dictation drives it.
class OverlayWindow {
public:
    virtual ~OverlayWindow() = default;

    virtual void show(OverlayState state) = 0;
    virtual void hide() = 0;
};
