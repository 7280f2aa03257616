#pragma once

#include "speech/SpeechRecognition.h"

#include <memory>

/// The engine dictations use, which can be replaced at any time: each recogniser keeps the engine that made
/// it, so a replacement takes effect with the next recording and never cuts a running one short. The
/// vocabulary is handed on to every engine put in place.
class SpeechEngineSwitch : public SpeechRecognition {
public:
    explicit SpeechEngineSwitch(std::unique_ptr<SpeechRecognition> engine);

    void use(std::unique_ptr<SpeechRecognition> engine);

    void requestAuthorization(std::function<void(AuthorizationStatus)> answer) override;
    std::unique_ptr<SpeechRecognizer> createRecognizer(const QString& localeIdentifier) override;
    void setVocabulary(const QStringList& entries) override;

private:
    std::shared_ptr<SpeechRecognition> m_engine;
    QStringList m_vocabulary;
};
