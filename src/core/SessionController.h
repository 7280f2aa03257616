#pragma once

#include "core/AppState.h"
#include "core/Stages.h"
#include "platform/Clock.h"

#include <QObject>

class Clock;
class DesktopNotifications;
class DictationHistory;
class MicrophonePermission;
class Workspace;

/// Drives one dictation from the trigger to the clean-up. At most one is in flight: a new one starts only
/// from idle, and idle comes back only after a recording error or the clean-up.
///
/// A dictation with a transcript is kept in the history (when it is on), rewritten or not; one that ends
/// without text says why in one desktop notification.
class SessionController : public QObject, public RecordingDelegate {
    Q_OBJECT

public:
    struct Stages {
        Recorder& recorder;
        Transcriber& transcriber;
        TranscriptRewriter& rewriter;
        TextDeliverer& deliverer;
    };

    /// What a dictation leaves behind besides its text.
    struct Records {
        DictationHistory& history;
        DesktopNotifications& notifications;
    };

    SessionController(AppState& state, const Clock& clock, MicrophonePermission& microphone,
                      Workspace& workspace, Stages stages, Records records);

    /// The hotkey path: drops a press within 0.5 s of the last accepted one, else starts or stops.
    void toggleRecording();
    void startDictation();
    void stopDictation();

    /// Hold-to-talk: the press starts a dictation and the release stops it. A hold shorter than 0.3 s is
    /// taken as a slip of the finger: its recording is dropped unheard.
    void startHoldToTalk();
    void endHoldToTalk();

    /// Ends the recording without transcribing it: nothing is delivered and the file is removed.
    void cancelDictation();

    void recordingDidFinish(const QString& url, const std::optional<QString>& error) override;

private:
    void startRecording();
    void processRecording(const QString& url, AppState::Mode mode, const QString& host, const QString& model);
    void rewriteAndDeliver(const QString& url, const QString& transcript, AppState::Mode mode,
                           const QString& host, const QString& model);
    void keep(AppState::Mode mode, const QString& transcript, const TextResult& result);
    void finishDictation(const QString& url);

    AppState& m_state;
    const Clock& m_clock;
    MicrophonePermission& m_microphone;
    Workspace& m_workspace;
    Stages m_stages;
    Clock::TimePoint m_holdStarted;
    bool m_discardRecording = false;
    Records m_records;
};
