#pragma once

#include "core/RecordingState.h"
#include "core/Stages.h"
#include "speech/SpeechRecognition.h"

#include <QObject>

#include <memory>
#include <mutex>
#include <span>
#include <vector>

class AppState;

/// Turns a recording into text with the platform recogniser, in the transcription locale of the settings,
/// falling back to US English when that locale is not supported.
///
/// A recogniser can take a while to get ready, so one is prepared as soon as a recording starts and used by
/// its transcription if the locale is still the same; it is let go when the dictation is over. A recogniser
/// that listens (Whisper) hears the recording while it is captured.
class SpeechTranscriber : public QObject, public Transcriber {
    Q_OBJECT

public:
    SpeechTranscriber(AppState& state, SpeechRecognition& speech);
    ~SpeechTranscriber() override;

    /// Answers once, on the main thread: the transcription, possibly empty, or nothing and why when there is
    /// no recogniser, it is not available or recognition failed, which is logged with its cause. One
    /// transcription at a time.
    void transcribeAudio(const QString& url, TextResultHandler done) override;

    /// The audio of the running recording as it is captured, on the capture thread. What comes before the
    /// recogniser is ready waits for it.
    void hearAudio(std::span<const float> samples);

private:
    void recordingStateChanged(RecordingState state);
    std::unique_ptr<SpeechRecognizer> recognizerFor(const QString& localeIdentifier);
    void listenWith(SpeechRecognizer::AudioListener listener);

    AppState& m_state;
    SpeechRecognition& m_speech;
    QString m_preparedLocale;
    std::unique_ptr<SpeechRecognizer> m_prepared;
    std::shared_ptr<SpeechRecognizer> m_running;
    std::mutex m_listening;
    SpeechRecognizer::AudioListener m_listener;
    std::vector<float> m_early;
};
