#pragma once

#include <QString>

#include <functional>
#include <memory>
#include <optional>

/// One call of a recogniser's result handler: a result, an error, or both.
struct RecognitionUpdate {
    std::optional<QString> text; ///< The best transcription so far, formatted.
    bool isFinal = false;        ///< Whether text is the last result.
    std::optional<QString> error;
};

/// A speech recogniser for one locale.
class SpeechRecognizer {
public:
    using ResultHandler = std::function<void(const RecognitionUpdate&)>;

    virtual ~SpeechRecognizer() = default;

    /// Whether the recogniser can be used right now.
    virtual bool isAvailable() const = 0;

    /// Recognises the whole audio file. The handler runs on the main thread, zero or more times with a
    /// partial result and then once with a final result or an error, unless the recogniser is destroyed
    /// first.
    virtual void recognizeFile(const QString& url, ResultHandler handler) = 0;
};

/// The platform's speech recognition service.
class SpeechRecognition {
public:
    enum class AuthorizationStatus { notDetermined = 0, denied = 1, restricted = 2, authorized = 3 };

    virtual ~SpeechRecognition() = default;

    /// Answers on any thread.
    virtual void requestAuthorization(std::function<void(AuthorizationStatus)> answer) = 0;

    /// A recogniser for the locale identifier, or nothing when the locale is not supported.
    virtual std::unique_ptr<SpeechRecognizer> createRecognizer(const QString& localeIdentifier) = 0;
};
