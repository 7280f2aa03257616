#pragma once

#include "platform/Clock.h"
#include "platform/MicrophonePermission.h"
#include "overlay/OverlayWindow.h"
#include "platform/Workspace.h"

#include <QStringList>

#include <chrono>

/// A clock that moves only when the test says so.
class FakeClock : public Clock {
public:
    TimePoint now() const override { return m_now; }
    void advance(std::chrono::milliseconds step) { m_now += step; }

private:
    TimePoint m_now = TimePoint{} + std::chrono::hours(1);
};

/// Answers every request at once with the configured decision.
class FakeMicrophonePermission : public MicrophonePermission {
public:
    void requestAccess(std::function<void(bool)> answer) override {
        ++requests;
        answer(granted);
    }

    bool granted = true;
    int requests = 0;
};

class FakeRunningApplication : public RunningApplication {
public:
    explicit FakeRunningApplication(std::optional<QString> name)
        : name(std::move(name)) {}
    bool isTerminated() const override { return terminated; }
    std::optional<QString> localizedName() const override { return name; }
    void activate() override { ++activations; }

    std::optional<QString> name;
    bool terminated = false;
    int activations = 0;
};

class FakeWorkspace : public Workspace {
public:
    std::shared_ptr<RunningApplication> frontmostApplication() override { return frontmost; }

    std::shared_ptr<RunningApplication> frontmost;
};

/// Records what the overlay was told, as "show recording", "show processing" and "hide".
class FakeOverlayWindow : public OverlayWindow {
public:
    explicit FakeOverlayWindow(QStringList& calls)
        : m_calls(calls) {}
    void show(OverlayState state) override {
        m_calls << (state == OverlayState::recording ? QStringLiteral("show recording")
                                                     : QStringLiteral("show processing"));
    }
    void hide() override { m_calls << QStringLiteral("hide"); }

private:
    QStringList& m_calls;
};
