#include "speech/SpeechEngineSwitch.h"

namespace {

class EngineBoundRecognizer : public SpeechRecognizer {
public:
    EngineBoundRecognizer(std::shared_ptr<SpeechRecognition> engine,
                          std::unique_ptr<SpeechRecognizer> recognizer)
        : m_engine(std::move(engine))
        , m_recognizer(std::move(recognizer)) {}

    bool isAvailable() const override { return m_recognizer->isAvailable(); }
    void recognizeFile(const QString& url, ResultHandler handler) override {
        m_recognizer->recognizeFile(url, std::move(handler));
    }
    AudioListener audioListener() override { return m_recognizer->audioListener(); }

private:
    // Declared first, so destroyed last: the recogniser must not outlive its engine.
    std::shared_ptr<SpeechRecognition> m_engine;
    std::unique_ptr<SpeechRecognizer> m_recognizer;
};

} // namespace

SpeechEngineSwitch::SpeechEngineSwitch(std::unique_ptr<SpeechRecognition> engine)
    : m_engine(std::move(engine)) {}

void SpeechEngineSwitch::use(std::unique_ptr<SpeechRecognition> engine) {
    m_engine = std::move(engine);
    m_engine->setVocabulary(m_vocabulary);
}

void SpeechEngineSwitch::setVocabulary(const QStringList& entries) {
    m_vocabulary = entries;
    m_engine->setVocabulary(entries);
}

void SpeechEngineSwitch::requestAuthorization(std::function<void(AuthorizationStatus)> answer) {
    m_engine->requestAuthorization(std::move(answer));
}

std::unique_ptr<SpeechRecognizer> SpeechEngineSwitch::createRecognizer(const QString& localeIdentifier) {
    std::unique_ptr<SpeechRecognizer> recognizer = m_engine->createRecognizer(localeIdentifier);
    if (!recognizer) {
        return nullptr;
    }
    return std::make_unique<EngineBoundRecognizer>(m_engine, std::move(recognizer));
}
