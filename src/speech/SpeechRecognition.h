#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

/// What a recogniser made of a recording: the text, possibly empty, or why there is none.
struct RecognitionResult {
    std::optional<QString> text;
    QString error;

    static RecognitionResult transcript(const QString& text) { return {text, {}}; }
    static RecognitionResult failure(const QString& error) { return {std::nullopt, error}; }
};

/// A speech recogniser for one locale.
class SpeechRecognizer {
public:
    using ResultHandler = std::function<void(const RecognitionResult&)>;

    virtual ~SpeechRecognizer() = default;

    /// Whether the recogniser can be used right now.
    virtual bool isAvailable() const = 0;

    /// Recognises the whole audio file. The handler runs once, on the main thread, unless the recogniser is
    /// destroyed first.
    virtual void recognizeFile(const QString& url, ResultHandler handler) = 0;
};

/// A speech recognition engine.
class SpeechRecognition {
public:
    enum class AuthorizationStatus { notDetermined = 0, denied = 1, restricted = 2, authorized = 3 };

    virtual ~SpeechRecognition() = default;

    /// Answers on any thread.
    virtual void requestAuthorization(std::function<void(AuthorizationStatus)> answer) = 0;

    /// A recogniser for the locale identifier, or nothing when the locale is not supported.
    virtual std::unique_ptr<SpeechRecognizer> createRecognizer(const QString& localeIdentifier) = 0;
};
