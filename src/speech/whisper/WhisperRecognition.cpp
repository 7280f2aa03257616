#include "speech/whisper/WhisperRecognition.h"

#include "speech/WhisperLanguages.h"
#include "speech/whisper/WhisperRecognizer.h"

#include <QCoreApplication>

WhisperRecognition::WhisperRecognition(QString modelPath, std::chrono::milliseconds keepLoaded,
                                       QString detectorPath)
    : m_modelPath(std::move(modelPath))
    , m_keeper(std::move(detectorPath), defaultWhisperThreads(), m_threads.workers) {
    m_keeper.setKeepLoaded(keepLoaded);
}

WhisperRecognition::~WhisperRecognition() = default;

void WhisperRecognition::requestAuthorization(std::function<void(AuthorizationStatus)> answer) {
    answer(AuthorizationStatus::authorized);
}

std::unique_ptr<SpeechRecognizer> WhisperRecognition::createRecognizer(const QString& localeIdentifier) {
    const std::optional<QString> language =
        localeIdentifier == automaticLanguage ? automaticLanguage : whisperLanguage(localeIdentifier);
    if (!language) {
        return nullptr;
    }
    return std::make_unique<WhisperRecognizer>(m_keeper, m_modelPath, *language, m_vocabulary, m_threads);
}

QString WhisperRecognition::installedDetectorPath() {
    return QCoreApplication::applicationDirPath() +
           QStringLiteral("/../share/murmuro/" MURMURO_VAD_MODEL_NAME);
}
