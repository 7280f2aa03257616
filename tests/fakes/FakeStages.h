#pragma once

#include "core/SessionController.h"
#include "fakes/FakePlatform.h"
#include "fakes/TestAppState.h"
#include "history/DictationHistory.h"

#include <utility>
#include <vector>

/// Moves to recording the way the real recorder does, as far as the controller can see, without audio.
struct FakeRecorder : Recorder {
    explicit FakeRecorder(AppState& state)
        : state(state) {}
    void startRecording(RecordingDelegate&) override {
        ++starts;
        if (hasInput) {
            state.setRecordingState(RecordingState::recording);
        }
    }
    void stop() override { ++stops; }
    AppState& state;
    bool hasInput = true;
    int starts = 0;
    int stops = 0;
};

/// Holds each request until the test answers it.
struct FakeTranscriber : Transcriber {
    void transcribeAudio(const QString& url, TextResultHandler done) override {
        urls << url;
        pending = std::move(done);
    }
    void answer(const std::optional<QString>& transcript, const QString& failure = {}) {
        std::exchange(pending, nullptr)({transcript, failure});
    }
    QStringList urls;
    TextResultHandler pending;
};

struct FakeTranscriptRewriter : TranscriptRewriter {
    struct Request {
        QString transcript, systemPrompt, host, model;
    };
    void rewriteTranscript(const QString& transcript, const QString& systemPrompt, const QString& host,
                           const QString& model, TextResultHandler done) override {
        requests.push_back({transcript, systemPrompt, host, model});
        pending = std::move(done);
    }
    void loadModel(const QString& host, const QString& model) override { loads << host + u' ' + model; }
    void answer(const std::optional<QString>& reply, const QString& failure = {}) {
        std::exchange(pending, nullptr)({reply, failure});
    }
    QStringList loads;
    std::vector<Request> requests;
    TextResultHandler pending;
};

struct FakeTextDeliverer : TextDeliverer {
    void deliverText(const QString& text) override { delivered << text; }
    bool checkAccessibilityPermission() override {
        ++permissionChecks;
        return true;
    }
    QStringList delivered;
    int permissionChecks = 0;
};

struct FakeHotkeyRegistrar : HotkeyRegistrar {
    void installHotkeyHandler() override { calls << QStringLiteral("install"); }
    void registerHotkey() override { calls << QStringLiteral("register"); }
    QStringList calls;
};

/// A session controller over fake services and stages that answer when the test says so. A test that needs
/// a real recorder or rewriter makes the controller again with it.
struct FakeDictation {
    std::unique_ptr<SessionController> controllerWith(Recorder& recorder, TranscriptRewriter& rewriter) {
        return std::make_unique<SessionController>(
            state, clock, microphone, workspace,
            SessionController::Stages{recorder, transcriber, rewriter, deliverer},
            SessionController::Records{history, desktop});
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
    DictationHistory history{app.directory.filePath(QStringLiteral("history.jsonl"))};
    FakeDeliveryServices desktop; // for its notifications
    std::unique_ptr<SessionController> controller = controllerWith(recorder, rewriter);
};
