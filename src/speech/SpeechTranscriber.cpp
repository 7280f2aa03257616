#include "speech/SpeechTranscriber.h"

#include "core/AppState.h"
#include "log/Log.h"
#include "speech/SpeechRecognition.h"

#include <QTimer>

namespace {

const QString fallbackLocale = QStringLiteral("en-US");
// The capture may deliver its first audio before the recogniser of the recording is made; a second of it is
// kept for the recogniser.
constexpr std::size_t earlyAudioKept = 16000;

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
        listenWith(m_prepared ? m_prepared->audioListener() : SpeechRecognizer::AudioListener());
        break;
    case RecordingState::idle:
        listenWith({});
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

void SpeechTranscriber::listenWith(SpeechRecognizer::AudioListener listener) {
    std::lock_guard lock(m_listening);
    m_listener = std::move(listener);
    if (m_listener && !m_early.empty()) {
        m_listener(m_early);
    }
    m_early.clear();
}

void SpeechTranscriber::hearAudio(std::span<const float> samples) {
    std::lock_guard lock(m_listening);
    if (m_listener) {
        m_listener(samples);
        return;
    }
    m_early.insert(m_early.end(), samples.begin(), samples.end());
    if (m_early.size() > earlyAudioKept) {
        m_early.erase(m_early.begin(), m_early.end() - std::ptrdiff_t(earlyAudioKept));
    }
}

void SpeechTranscriber::transcribeAudio(const QString& url, TextResultHandler done) {
    const QString locale = m_state.transcriptionLocale();
    std::unique_ptr<SpeechRecognizer> recognizer =
        m_prepared && m_preparedLocale == locale ? std::move(m_prepared) : recognizerFor(locale);
    m_prepared.reset();
    const auto fail = [&done](const QString& failure) {
        qCWarning(lcSpeech).noquote() << failure + u'.';
        done({std::nullopt, failure});
    };
    if (!recognizer) {
        fail(QStringLiteral("No speech recogniser for %1 or en-US").arg(locale));
        return;
    }
    if (!recognizer->isAvailable()) {
        fail(QStringLiteral("The speech recogniser for %1 is not available").arg(locale));
        return;
    }

    m_running = std::move(recognizer);
    m_running->recognizeFile(url, [this, done](const RecognitionResult& result) {
        const QString failure =
            result.text ? QString() : QStringLiteral("Speech recognition failed: ") + result.error;
        if (!result.text) {
            qCWarning(lcSpeech).noquote() << failure;
        }
        // Let go of the recogniser once this call of its handler has returned.
        QTimer::singleShot(0, this, [finished = std::move(m_running)] {});
        done({result.text, failure});
    });
}
