#pragma once

#include "speech/SpeechRecognition.h"

#include <QStringList>

/// A recogniser whose result the test hands out by calling its handler.
struct FakeSpeechRecognizer : SpeechRecognizer {
    FakeSpeechRecognizer(QString locale, bool available, int& live)
        : locale(std::move(locale))
        , available(available)
        , live(++live) {}
    ~FakeSpeechRecognizer() override { --live; }
    bool isAvailable() const override { return available; }
    void recognizeFile(const QString& url, ResultHandler resultHandler) override {
        recognizedUrl = url;
        handler = std::move(resultHandler);
    }
    const QString locale;
    const bool available;
    int& live;
    QString recognizedUrl;
    ResultHandler handler;
};

/// Supports the locales it is told to; remembers every locale asked for and the last recogniser made.
struct FakeSpeechRecognition : SpeechRecognition {
    void requestAuthorization(std::function<void(AuthorizationStatus)> answer) override { answer(status); }
    std::unique_ptr<SpeechRecognizer> createRecognizer(const QString& locale) override {
        requestedLocales << locale;
        if (!supportedLocales.contains(locale)) {
            return nullptr;
        }
        auto recognizer = std::make_unique<FakeSpeechRecognizer>(locale, !unavailableLocales.contains(locale),
                                                                 liveRecognizers);
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
