#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/AudioCapture.h"
#include "platform/Clock.h"
#include "platform/DesktopNotifications.h"
#include "platform/KeyboardEvents.h"
#include "platform/MicrophonePermission.h"
#include "platform/OverlaySurface.h"
#include "platform/Pasteboard.h"
#include "platform/SystemSound.h"
#include "platform/Workspace.h"

#include <QStringList>

// One fake per platform service. Those whose order matters write their calls into a journal.

/// A clock that moves only when the test says so.
struct FakeClock : Clock {
    TimePoint now() const override { return time; }
    void advance(std::chrono::milliseconds step) { time += step; }
    TimePoint time = TimePoint{} + std::chrono::hours(1);
};

/// Answers every request at once.
struct FakeMicrophonePermission : MicrophonePermission {
    void requestAccess(std::function<void(bool)> answer) override { answer(granted); }
    bool granted = true;
};

struct FakeApplication : RunningApplication {
    FakeApplication(QStringList& journal, std::optional<QString> name, bool terminated = false)
        : journal(journal)
        , name(std::move(name))
        , terminated(terminated) {}
    bool isTerminated() const override { return terminated; }
    std::optional<QString> localizedName() const override { return name; }
    void activate() override { journal << QStringLiteral("activate"); }
    QStringList& journal;
    const std::optional<QString> name;
    const bool terminated;
};

struct FakeWorkspace : Workspace {
    std::shared_ptr<RunningApplication> frontmostApplication() override { return frontmost; }
    std::shared_ptr<RunningApplication> frontmost;
};

/// The clipboard, the sound, the trust check, the keystroke and the desktop's notifications, in one journal.
struct FakeDeliveryServices : Pasteboard,
                              SystemSound,
                              AccessibilityTrust,
                              KeyboardEvents,
                              DesktopNotifications {
    void clearContents() override { journal << QStringLiteral("clear clipboard"); }
    void setString(const QString& text) override { journal << QStringLiteral("set clipboard ") + text; }
    void play(const QString& name) override { journal << QStringLiteral("play ") + name; }
    bool isTrustedPromptingUser() override {
        journal << QStringLiteral("check trust");
        return trusted;
    }
    void postPasteKeystroke() override { journal << QStringLiteral("paste keystroke"); }
    void notify(const QString& message) override { journal << QStringLiteral("notify ") + message; }
    QStringList journal;
    bool trusted = true;
};

/// Microphones the test plugs in and out, and captures that run until told otherwise. The journal shows each
/// start, stop and release of a capture.
struct FakeAudioCapture : AudioCapture {
    struct Session : CaptureSession {
        explicit Session(QStringList& journal)
            : journal(journal) {}
        ~Session() override { journal << QStringLiteral("capture released"); }
        bool isRunning() const override { return true; }
        void stopRunning() override {}
        void stopRecording() override { journal << QStringLiteral("stop recording"); }
        QStringList& journal;
    };

    void prepare() override {}
    QList<AudioInputDevice> inputDevices() const override {
        ++listReads;
        return devices;
    }
    void setDevicesChangedHandler(std::function<void()> handler) override {
        devicesChanged = std::move(handler);
    }
    std::unique_ptr<CaptureSession> startRecording(const QString& deviceId, const QString& url,
                                                   FinishHandler onFinish, LevelHandler onLevels,
                                                   SampleHandler onSamples) override {
        journal << QStringLiteral("capture %1 into %2").arg(deviceId, url);
        finish = std::move(onFinish);
        levels = std::move(onLevels);
        samples = std::move(onSamples);
        return hasInput ? std::make_unique<Session>(journal) : nullptr;
    }
    /// Plugs in or removes devices and tells whoever listens, as the device monitor would.
    void replaceDevices(QList<AudioInputDevice> present) {
        devices = std::move(present);
        devicesChanged();
    }

    QStringList journal;
    QList<AudioInputDevice> devices;
    mutable int listReads = 0;
    bool hasInput = true;
    FinishHandler finish;
    LevelHandler levels;
    SampleHandler samples;
    std::function<void()> devicesChanged;
};

/// Keeps the last frame it was shown.
struct FakeOverlaySurface : OverlaySurface {
    void show(const QImage& frame) override {
        lastFrame = frame;
        ++frames;
    }
    void hide() override { ++hides; }
    QImage lastFrame;
    int frames = 0;
    int hides = 0;
};
