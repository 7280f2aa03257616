#pragma once

#include "speech/SpeechRecognition.h"

#include <QStringList>

/// A recogniser whose result the test hands out by calling its handler.
class FakeSpeechRecognizer : public SpeechRecognizer {
public:
    FakeSpeechRecognizer(QString locale, bool available, int& live)
        : locale(std::move(locale))
        , m_available(available)
        , m_live(live) {
        ++m_live;
    }
    ~FakeSpeechRecognizer() override { --m_live; }

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
    int& m_live;
};

/// Supports the locales it is told to; remembers every locale asked for and the last recogniser made.
class FakeSpeechRecognition : public SpeechRecognition {
public:
    void requestAuthorization(std::function<void(AuthorizationStatus)> answer) override { answer(status); }
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

    AuthorizationStatus status = AuthorizationStatus::authorized;
    QStringList supportedLocales{QStringLiteral("en-US")};
    QStringList unavailableLocales;
    QStringList requestedLocales;
    FakeSpeechRecognizer* lastRecognizer = nullptr;
    int liveRecognizers = 0;
};
