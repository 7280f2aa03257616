#include "speech/pocketsphinx/PocketsphinxRecognition.h"

#include "speech/pocketsphinx/PocketsphinxRecognizer.h"

PocketsphinxRecognition::PocketsphinxRecognition(PocketsphinxModelPaths paths,
                                                 std::chrono::milliseconds extraTime)
    : m_paths(std::move(paths))
    , m_extraTime(extraTime) {}

PocketsphinxRecognition::~PocketsphinxRecognition() = default;

void PocketsphinxRecognition::requestAuthorization(std::function<void(AuthorizationStatus)> answer) {
    answer(AuthorizationStatus::authorized);
}

std::unique_ptr<SpeechRecognizer> PocketsphinxRecognition::createRecognizer(const QString& localeIdentifier) {
    if (localeIdentifier != QLatin1String("en-US") && localeIdentifier != QLatin1String("en_US")) {
        return nullptr;
    }
    return std::make_unique<PocketsphinxRecognizer>(m_paths, m_threads, m_extraTime);
}
