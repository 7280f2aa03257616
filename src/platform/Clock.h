#pragma once

#include <chrono>

/// Monotonic time, so that a change of the wall clock cannot swallow or double a hotkey press.
class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    virtual TimePoint now() const = 0;
};

class SteadyClock : public Clock {
public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
};
