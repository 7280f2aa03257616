#pragma once

#include "core/RecordingState.h"

/// What the floating indicator shows.
enum class OverlayState { hidden, recording, processing };

/// The overlay's state for a dictation's state: recording and processing show, idle hides.
constexpr OverlayState overlayStateFor(RecordingState state) {
    switch (state) {
    case RecordingState::recording:
        return OverlayState::recording;
    case RecordingState::processing:
        return OverlayState::processing;
    case RecordingState::idle:
        break;
    }
    return OverlayState::hidden;
}

/// The floating indicator beside the pointer. Made by AppState when a dictation first leaves idle, it follows
/// recordingState by itself from then on.
class OverlayWindow {
public:
    virtual ~OverlayWindow() = default;

    virtual OverlayState currentState() const = 0;
};
