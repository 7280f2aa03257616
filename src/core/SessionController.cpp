#include "core/SessionController.h"

#include "core/Prompts.h"
#include "history/DictationHistory.h"
#include "log/Log.h"
#include "platform/Clock.h"
#include "platform/DesktopNotifications.h"
#include "platform/MicrophonePermission.h"
#include "platform/Workspace.h"

#include <QFile>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <utility>

namespace {

constexpr std::chrono::milliseconds hotkeyRepeatGuard{500};
constexpr std::chrono::milliseconds shortestHold{300};

/// A cause as a clause: without the full stop its source may end it with.
QString clause(QString text) {
    while (text.endsWith(u'.')) {
        text.chop(1);
    }
    return text;
}

} // namespace

SessionController::SessionController(AppState& state, const Clock& clock, MicrophonePermission& microphone,
                                     Workspace& workspace, Stages stages, Records records)
    : m_state(state)
    , m_clock(clock)
    , m_microphone(microphone)
    , m_workspace(workspace)
    , m_stages(stages)
    , m_records(records) {}

void SessionController::toggleRecording() {
    const Clock::TimePoint now = m_clock.now();
    if (!(now > m_state.lastHotkeyTime + hotkeyRepeatGuard)) {
        return;
    }
    m_state.lastHotkeyTime = now;

    switch (m_state.recordingState()) {
    case RecordingState::idle:
        startDictation();
        break;
    case RecordingState::recording:
        stopDictation();
        break;
    case RecordingState::processing:
        break;
    }
}

void SessionController::startDictation() {
    if (m_state.recordingState() != RecordingState::idle) {
        return;
    }
    m_microphone.requestAccess([this](bool granted) {
        if (!granted) {
            return;
        }
        // The answer may come from any thread; the recording starts on ours.
        QMetaObject::invokeMethod(this, &SessionController::startRecording, Qt::QueuedConnection);
    });
}

void SessionController::startRecording() {
    m_stages.recorder.startRecording(*this);
    if (m_state.recordingState() != RecordingState::recording) {
        m_records.notifications.notify(
            QStringLiteral("No microphone found. Check Settings \u2192 Microphone."));
        return;
    }
    // A server that has unloaded the model can load it again while the user speaks.
    if (m_state.selectedMode() != AppState::Mode::literal) {
        m_stages.rewriter.loadModel(m_state.ollamaHost(), m_state.modelName());
    }
}

void SessionController::stopDictation() {
    if (m_state.recordingState() != RecordingState::recording) {
        return;
    }
    m_state.previousApp = m_workspace.frontmostApplication();
    m_state.setRecordingState(RecordingState::processing);
    m_stages.recorder.stop();
}

void SessionController::startHoldToTalk() {
    m_holdStarted = m_clock.now();
    startDictation();
}

void SessionController::endHoldToTalk() {
    if (m_clock.now() - m_holdStarted < shortestHold) {
        cancelDictation();
    } else {
        stopDictation();
    }
}

void SessionController::cancelDictation() {
    if (m_state.recordingState() != RecordingState::recording) {
        return;
    }
    qCInfo(lcSession).noquote() << QStringLiteral("The hotkey was let go at once; the recording is dropped.");
    m_discardRecording = true;
    m_state.setRecordingState(RecordingState::processing);
    m_stages.recorder.stop();
}

void SessionController::recordingDidFinish(const QString& url, const std::optional<QString>& error) {
    if (std::exchange(m_discardRecording, false) && !error) {
        finishDictation(url);
        return;
    }
    if (error) {
        qCWarning(lcSession).noquote() << QStringLiteral("Recording error: ") + *error;
        m_state.setRecordingState(RecordingState::idle);
        m_records.notifications.notify(
            QStringLiteral("The recording failed: %1. Check Settings \u2192 Microphone.")
                .arg(clause(*error)));
        return;
    }
    processRecording(url, m_state.selectedMode(), m_state.ollamaHost(), m_state.modelName());
}

void SessionController::processRecording(const QString& url, AppState::Mode mode, const QString& host,
                                         const QString& model) {
    QPointer<SessionController> self(this);
    m_stages.transcriber.transcribeAudio(url, [self, url, mode, host, model](const TextResult& transcript) {
        if (!self) {
            return;
        }
        if (!transcript.text || transcript.text->isEmpty()) {
            self->m_records.notifications.notify(transcript.failure.isEmpty()
                                                     ? QStringLiteral("No speech was heard.")
                                                     : clause(transcript.failure) +
                                                           QStringLiteral(". Try the dictation again."));
            self->finishDictation(url);
            return;
        }
        qCInfo(lcSession).noquote() << QStringLiteral("[AppState] Transcription: ") + *transcript.text;
        if (mode == AppState::Mode::literal) {
            self->m_stages.deliverer.deliverText(*transcript.text);
            self->keep(mode, *transcript.text, transcript);
            self->finishDictation(url);
            return;
        }
        self->rewriteAndDeliver(url, *transcript.text, mode, host, model);
    });
}

void SessionController::rewriteAndDeliver(const QString& url, const QString& transcript, AppState::Mode mode,
                                          const QString& host, const QString& model) {
    const QString systemPrompt = composeSystemPrompt(m_state, mode);
    QPointer<SessionController> self(this);
    m_stages.rewriter.rewriteTranscript(
        transcript, systemPrompt, host, model, [self, url, mode, transcript](const TextResult& reply) {
            if (!self) {
                return;
            }
            if (reply.text) {
                self->m_stages.deliverer.deliverText(*reply.text);
            } else {
                self->m_records.notifications.notify(
                    clause(reply.failure) + (self->m_state.historyEnabled()
                                                 ? QStringLiteral("; the transcript is in Recent.")
                                                 : QStringLiteral(". Check Settings \u2192 Ollama.")));
            }
            self->keep(mode, transcript, reply);
            self->finishDictation(url);
        });
}

void SessionController::keep(AppState::Mode mode, const QString& transcript, const TextResult& result) {
    if (m_state.historyEnabled()) {
        m_records.history.add({QDateTime::currentDateTime(), mode, transcript, result.text,
                               result.text ? QString() : clause(result.failure) + u'.'});
    }
}

void SessionController::finishDictation(const QString& url) {
    // A task of its own, so that it runs after the delivery that precedes it has returned.
    QPointer<AppState> state(&m_state);
    QTimer::singleShot(0, this, [state, url] {
        if (state) {
            state->setRecordingState(RecordingState::idle);
        }
        QFile::remove(url);
    });
}
