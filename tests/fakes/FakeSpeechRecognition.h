#pragma once

#include "speech/SpeechRecognition.h"

#include <QStringList>

#include <memory>

/// A recogniser whose results the test hands out by calling its handler.
class FakeSpeechRecognizer : public SpeechRecognizer {
public:
    FakeSpeechRecognizer(QString locale, bool available, int& liveCount)
        : locale(std::move(locale))
        , m_available(available)
        , m_liveCount(liveCount) {
        ++m_liveCount;
    }
    ~FakeSpeechRecognizer() override { --m_liveCount; }

    bool isAvailable() const override { return m_available; }
    void recognizeFile(const QString& url, ResultHandler resultHandler) override {
        recognizedUrl = url;
        handler = std::move(resultHandler);
    }

    const QString locale;
    QString recognizedUrl;
    ResultHandler handler;

private:
    bool m_available;
    int& m_liveCount;
};

/// Supports the locales it is told to; remembers every recogniser asked for and the last one made.
class FakeSpeechRecognition : public SpeechRecognition {
public:
    void requestAuthorization(std::function<void(AuthorizationStatus)> answer) override {
        answer(AuthorizationStatus::authorized);
    }

    std::unique_ptr<SpeechRecognizer> createRecognizer(const QString& localeIdentifier) override {
        requestedLocales << localeIdentifier;
        if (!supportedLocales.contains(localeIdentifier)) {
            return nullptr;
        }
        auto recognizer = std::make_unique<FakeSpeechRecognizer>(
            localeIdentifier, !unavailableLocales.contains(localeIdentifier), liveRecognizers);
        lastRecognizer = recognizer.get();
        return recognizer;
    }

    QStringList supportedLocales{QStringLiteral("en-US")};
    QStringList unavailableLocales;
    QStringList requestedLocales;
    FakeSpeechRecognizer* lastRecognizer = nullptr;
    int liveRecognizers = 0;
};
