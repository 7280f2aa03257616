#pragma once

#include <functional>

/// Access to the microphone as the operating system grants it.
class MicrophonePermission {
public:
    virtual ~MicrophonePermission() = default;

    /// Answers on any thread, at once when the user has decided before.
    virtual void requestAccess(std::function<void(bool granted)> answer) = 0;
};
