#include "speech/server/TranscriptionServerRecognition.h"

#include "speech/Vocabulary.h"
#include "speech/WhisperLanguages.h"

#include <QUrl>

namespace {

QUrl transcriptionEndpoint(const QString& serverUrl) {
    QUrl endpoint(serverUrl, QUrl::StrictMode);
    QString path = endpoint.path(QUrl::FullyEncoded);
    while (path.endsWith(u'/')) {
        path.chop(1);
    }
    endpoint.setPath(path + QStringLiteral("/v1/audio/transcriptions"), QUrl::StrictMode);
    return endpoint;
}

} // namespace

TranscriptionServerRecognition::TranscriptionServerRecognition(const QString& serverUrl, QString model,
                                                               std::chrono::milliseconds answerTimeout)
    : m_server{transcriptionEndpoint(serverUrl), std::move(model), answerTimeout, QString()} {
    m_network.setAutoDeleteReplies(true);
}

TranscriptionServerRecognition::~TranscriptionServerRecognition() = default;

void TranscriptionServerRecognition::requestAuthorization(std::function<void(AuthorizationStatus)> answer) {
    answer(AuthorizationStatus::authorized);
}

void TranscriptionServerRecognition::setVocabulary(const QStringList& entries) {
    m_server.prompt = vocabularyPrompt(entries, estimatedTokens).text;
}

std::unique_ptr<SpeechRecognizer>
TranscriptionServerRecognition::createRecognizer(const QString& localeIdentifier) {
    const std::optional<QString> language = whisperLanguage(localeIdentifier);
    if (!language) {
        return nullptr;
    }
    return std::make_unique<TranscriptionServerRecognizer>(m_server, *language, m_network, m_threads);
}
