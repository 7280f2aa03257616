#pragma once

#include "core/SessionController.h"
#include "core/Stages.h"
#include "fakes/FakePlatform.h"
#include "fakes/TestAppState.h"

#include <utility>
#include <vector>

/// Moves to recording the way the real recorder does, as far as the controller can see, without audio.
class FakeRecorder : public Recorder {
public:
    explicit FakeRecorder(AppState& state)
        : m_state(state) {}
    void startRecording(RecordingDelegate&) override {
        ++starts;
        if (hasInput) {
            m_state.setRecordingState(RecordingState::recording);
        }
    }
    void stop() override { ++stops; }

    bool hasInput = true;
    int starts = 0;
    int stops = 0;

private:
    AppState& m_state;
};

/// Holds each request until the test answers it.
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
    void installHotkeyHandler() override { calls << QStringLiteral("install"); }
    void registerHotkey() override { calls << QStringLiteral("register"); }
    QStringList calls;
};

/// A session controller over fake platform services and stages, each answering when the test says so. A
/// test that needs a real recorder or rewriter builds the controller again with it.
struct FakeDictation {
    explicit FakeDictation(AppState::OverlayFactory overlay = {})
        : app(std::move(overlay)) {}

    std::unique_ptr<SessionController> controllerWith(Recorder& recorder, TranscriptRewriter& rewriter) {
        return std::make_unique<SessionController>(
            app.state, clock, microphone, workspace,
            SessionController::Stages{recorder, transcriber, rewriter, deliverer});
    }

    TestAppState app;
    AppState& state = app.state;
    FakeClock clock;
    FakeMicrophonePermission microphone;
    FakeWorkspace workspace;
    FakeRecorder recorder{state};
    FakeTranscriber transcriber;
    FakeTranscriptRewriter rewriter;
    FakeTextDeliverer deliverer;
    std::unique_ptr<SessionController> controller = controllerWith(recorder, rewriter);
};
