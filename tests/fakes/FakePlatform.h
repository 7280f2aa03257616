#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/AudioCapture.h"
#include "platform/Clock.h"
#include "platform/HotkeyService.h"
#include "platform/KeyboardEvents.h"
#include "platform/MicrophonePermission.h"
#include "platform/Pasteboard.h"
#include "platform/SystemSound.h"
#include "platform/Workspace.h"

#include <QStringList>

// One fake per platform service. Those whose order matters write their calls into a journal (a QStringList).

/// A clock that moves only when the test says so.
class FakeClock : public Clock {
public:
    TimePoint now() const override { return m_now; }
    void advance(std::chrono::milliseconds step) { m_now += step; }

private:
    TimePoint m_now = TimePoint{} + std::chrono::hours(1);
};

/// Answers every request at once.
class FakeMicrophonePermission : public MicrophonePermission {
public:
    void requestAccess(std::function<void(bool)> answer) override {
        ++requests;
        answer(granted);
    }
    bool granted = true;
    int requests = 0;
};

class FakeApplication : public RunningApplication {
public:
    FakeApplication(QStringList& journal, std::optional<QString> name, bool terminated = false)
        : m_journal(journal)
        , m_name(std::move(name))
        , m_terminated(terminated) {}
    bool isTerminated() const override { return m_terminated; }
    std::optional<QString> localizedName() const override { return m_name; }
    void activate() override { m_journal << QStringLiteral("activate"); }

private:
    QStringList& m_journal;
    std::optional<QString> m_name;
    bool m_terminated;
};

class FakeWorkspace : public Workspace {
public:
    std::shared_ptr<RunningApplication> frontmostApplication() override { return frontmost; }
    std::shared_ptr<RunningApplication> frontmost;
};

/// The clipboard, the sound, the trust check and the keystroke, all into one journal.
class FakeDeliveryServices : public Pasteboard,
                             public SystemSound,
                             public AccessibilityTrust,
                             public KeyboardEvents {
public:
    void clearContents() override { journal << QStringLiteral("clear clipboard"); }
    void setString(const QString& text) override { journal << QStringLiteral("set clipboard ") + text; }
    void play(const QString& name) override { journal << QStringLiteral("play ") + name; }
    bool isTrustedPromptingUser() override {
        journal << QStringLiteral("check trust");
        return trusted;
    }
    void postPasteKeystroke() override { journal << QStringLiteral("paste keystroke"); }

    QStringList journal;
    bool trusted = true;
};

/// Microphones the test plugs in and out, and captures that run until told otherwise. The journal shows the
/// start of each capture and the end of each session.
class FakeAudioCapture : public AudioCapture {
public:
    class Session : public CaptureSession {
    public:
        explicit Session(QStringList& journal)
            : m_journal(journal) {}
        ~Session() override { m_journal << QStringLiteral("capture released"); }
        bool isRunning() const override { return running; }
        void stopRunning() override { running = false; }
        void stopRecording() override { m_journal << QStringLiteral("stop recording"); }
        bool running = true;

    private:
        QStringList& m_journal;
    };

    QList<AudioInputDevice> inputDevices() const override {
        ++listReads;
        return devices;
    }
    void setDevicesChangedHandler(std::function<void()> handler) override {
        devicesChanged = std::move(handler);
    }
    std::unique_ptr<CaptureSession> startRecording(const QString& deviceId, const QString& url,
                                                   FinishHandler onFinish, LevelHandler onLevels) override {
        journal << QStringLiteral("capture %1 into %2").arg(deviceId, url);
        finish = std::move(onFinish);
        levels = std::move(onLevels);
        return hasInput ? std::make_unique<Session>(journal) : nullptr;
    }

    /// Plugs in or removes devices and tells whoever listens, as the device monitor would.
    void replaceDevices(QList<AudioInputDevice> present) {
        devices = std::move(present);
        if (devicesChanged) {
            devicesChanged();
        }
    }

    QStringList journal;
    QList<AudioInputDevice> devices;
    mutable int listReads = 0;
    bool hasInput = true;
    FinishHandler finish;
    LevelHandler levels;
    std::function<void()> devicesChanged;
};

/// Grants every combination unless refusing; press() is a press of the registered one.
class FakeHotkeyService : public HotkeyService {
public:
    struct Combination {
        quint32 keyCode;
        quint32 modifiers;
    };

    void installHandler(std::function<void()> onPressed) override { handler = std::move(onPressed); }
    std::unique_ptr<HotkeyRegistration> registerHotkey(quint32 keyCode, quint32 modifiers) override {
        requests.append({keyCode, modifiers});
        heldAtRequest.append(held.size());
        return refusing ? nullptr : std::make_unique<Registration>(held, Combination{keyCode, modifiers});
    }
    void press() { handler(); }

    std::function<void()> handler;
    QList<Combination> requests;
    QList<Combination> held;
    /// How many registrations were still held when each request came.
    QList<qsizetype> heldAtRequest;
    bool refusing = false;

private:
    struct Registration : HotkeyRegistration {
        Registration(QList<Combination>& held, Combination combination)
            : held(held) {
            held.append(combination);
        }
        ~Registration() override { held.removeFirst(); }
        QList<Combination>& held;
    };
};
