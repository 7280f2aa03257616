#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <span>

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
    /// Takes a recording's audio while it is captured: 16 kHz mono float samples, in order, from any thread.
    using AudioListener = std::function<void(std::span<const float> samples)>;

    virtual ~SpeechRecognizer() = default;

    /// Whether the recogniser can be used right now.
    virtual bool isAvailable() const = 0;

    /// Recognises the whole audio file. The handler runs once, on the main thread, unless the recogniser is
    /// destroyed first.
    virtual void recognizeFile(const QString& url, ResultHandler handler) = 0;

    /// For a recogniser that works while the user speaks: where the audio of the recording goes as it is
    /// captured, before recognizeFile() gets the finished file of the same recording. Empty for a recogniser
    /// that only reads the file. The listener may outlive the recogniser; what it hears then is dropped.
    virtual AudioListener audioListener() { return {}; }
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

    /// Words and phrases that recognisers made from now on should spell as they are written. An engine that
    /// cannot be told ignores them.
    virtual void setVocabulary(const QStringList& entries) { Q_UNUSED(entries) }
};
