#include "speech/SpeechTranscriber.h"

#include "core/AppState.h"
#include "log/Log.h"
#include "speech/SpeechRecognition.h"

#include <QTimer>

namespace {

const QString fallbackLocale = QStringLiteral("en-US");

} // namespace

SpeechTranscriber::SpeechTranscriber(AppState& state, SpeechRecognition& speech)
    : m_state(state)
    , m_speech(speech) {
    connect(&m_state, &AppState::recordingStateChanged, this, &SpeechTranscriber::recordingStateChanged);
}

SpeechTranscriber::~SpeechTranscriber() = default;

void SpeechTranscriber::recordingStateChanged(RecordingState state) {
    switch (state) {
    case RecordingState::recording:
        m_preparedLocale = m_state.transcriptionLocale();
        m_prepared = recognizerFor(m_preparedLocale);
        break;
    case RecordingState::idle:
        m_prepared.reset();
        break;
    case RecordingState::processing:
        break;
    }
}

std::unique_ptr<SpeechRecognizer> SpeechTranscriber::recognizerFor(const QString& localeIdentifier) {
    std::unique_ptr<SpeechRecognizer> recognizer = m_speech.createRecognizer(localeIdentifier);
    return recognizer ? std::move(recognizer) : m_speech.createRecognizer(fallbackLocale);
}

void SpeechTranscriber::transcribeAudio(const QString& url, TextResultHandler done) {
    const QString locale = m_state.transcriptionLocale();
    std::unique_ptr<SpeechRecognizer> recognizer =
        m_prepared && m_preparedLocale == locale ? std::move(m_prepared) : recognizerFor(locale);
    m_prepared.reset();
    if (!recognizer) {
        qCWarning(lcSpeech).noquote() << QStringLiteral("No speech recogniser for %1 or en-US.").arg(locale);
        done(std::nullopt);
        return;
    }
    if (!recognizer->isAvailable()) {
        qCWarning(lcSpeech).noquote()
            << QStringLiteral("The speech recogniser for %1 is not available.").arg(locale);
        done(std::nullopt);
        return;
    }

    m_running = std::move(recognizer);
    m_running->recognizeFile(url, [this, done](const RecognitionResult& result) {
        if (!result.text) {
            qCWarning(lcSpeech).noquote() << QStringLiteral("Speech recognition failed: ") + result.error;
        }
        // Let go of the recogniser once this call of its handler has returned.
        QTimer::singleShot(0, this, [finished = std::move(m_running)] {});
        done(result.text);
    });
}
