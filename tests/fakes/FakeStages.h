#pragma once

#include "core/AppState.h"
#include "core/Stages.h"

#include <QStringList>

/// A capture that finishes only when the test reports it.
class FakeCaptureSession : public CaptureSession, public AudioFileOutput {
public:
    bool isRunning() const override { return running; }
    void stopRunning() override { running = false; }
    AudioFileOutput* fileOutput() override { return this; }
    void stopRecording() override { ++stopRequests; }
    QList<float> channelPowerLevels() const override { return levels; }

    bool running = true;
    int stopRequests = 0;
    QList<float> levels;
};

/// Starts a recording the way the real recorder does, as far as the controller can see, without audio.
class FakeRecorder : public Recorder {
public:
    explicit FakeRecorder(AppState& state)
        : m_state(state) {}

    void startRecording(RecordingDelegate& delegate) override {
        ++starts;
        this->delegate = &delegate;
        if (!hasInput) {
            return;
        }
        auto session = std::make_unique<FakeCaptureSession>();
        capture = session.get();
        m_state.audioFileOutput = session->fileOutput();
        m_state.captureSession = std::move(session);
        m_state.setRecordingState(RecordingState::recording);
        m_state.overlay().show(OverlayState::recording);
    }

    bool hasInput = true;
    int starts = 0;
    FakeCaptureSession* capture = nullptr;
    RecordingDelegate* delegate = nullptr;

private:
    AppState& m_state;
};

/// Holds the request until the test answers it.
class FakeTranscriber : public Transcriber {
public:
    void transcribeAudio(const QString& url, TextResultHandler done) override {
        urls << url;
        pending = std::move(done);
    }
    void answer(const std::optional<QString>& transcript) { std::exchange(pending, nullptr)(transcript); }

    QStringList urls;
    TextResultHandler pending;
};

class FakeTranscriptRewriter : public TranscriptRewriter {
public:
    struct Request {
        QString transcript, systemPrompt, host, model;
    };

    void rewriteTranscript(const QString& transcript, const QString& systemPrompt, const QString& host,
                           const QString& model, TextResultHandler done) override {
        requests.push_back({transcript, systemPrompt, host, model});
        pending = std::move(done);
    }
    void answer(const std::optional<QString>& reply) { std::exchange(pending, nullptr)(reply); }

    std::vector<Request> requests;
    TextResultHandler pending;
};

class FakeTextDeliverer : public TextDeliverer {
public:
    void deliverText(const QString& text) override { delivered << text; }
    bool checkAccessibilityPermission() override {
        ++permissionChecks;
        return trusted;
    }

    QStringList delivered;
    bool trusted = true;
    int permissionChecks = 0;
};

class FakeHotkeyRegistrar : public HotkeyRegistrar {
public:
    explicit FakeHotkeyRegistrar(QStringList& calls)
        : m_calls(calls) {}
    void installHotkeyHandler() override { m_calls << QStringLiteral("install"); }
    void registerHotkey() override { m_calls << QStringLiteral("register"); }

private:
    QStringList& m_calls;
};
