#pragma once

#include <QString>

#include <functional>
#include <optional>

// The stages of a dictation as the session controller drives them. Each may answer later, always on the main
// thread; an absent text means the stage failed and has already logged what it logs.

/// What a stage made: the text, or none and why, in a few words for the user.
struct TextResult {
    std::optional<QString> text;
    QString failure;
};

using TextResultHandler = std::function<void(const TextResult& result)>;

/// Receives the outcome of a recording, on the main thread.
class RecordingDelegate {
public:
    virtual ~RecordingDelegate() = default;
    virtual void recordingDidFinish(const QString& url, const std::optional<QString>& error) = 0;
};

/// Records the chosen microphone into the recording file, owning the capture while it runs.
class Recorder {
public:
    virtual ~Recorder() = default;

    /// Starts capture and metering and moves to recording; stays idle when no input can be opened.
    virtual void startRecording(RecordingDelegate& delegate) = 0;

    /// Stops metering and asks for the file to be finished; the delegate hears the outcome, after the
    /// capture has been released.
    virtual void stop() = 0;
};

/// Turns a recording into text.
class Transcriber {
public:
    virtual ~Transcriber() = default;
    virtual void transcribeAudio(const QString& url, TextResultHandler done) = 0;
};

/// Rewrites a transcript on the chat server.
class TranscriptRewriter {
public:
    virtual ~TranscriptRewriter() = default;
    virtual void rewriteTranscript(const QString& transcript, const QString& systemPrompt,
                                   const QString& host, const QString& model, TextResultHandler done) = 0;

    /// Asks the server to have the model ready for a rewrite that is coming; nothing depends on it.
    virtual void loadModel(const QString& host, const QString& model) = 0;
};

/// Puts the final text where the user wants it.
class TextDeliverer {
public:
    virtual ~TextDeliverer() = default;

    /// Clipboard and sound now; with auto-paste, the paste keystroke shortly after.
    virtual void deliverText(const QString& text) = 0;

    /// Whether synthetic input may be sent; logs and lets the system ask the user when not.
    virtual bool checkAccessibilityPermission() = 0;
};

/// Keeps the system-wide hotkey in step with the settings.
class HotkeyRegistrar {
public:
    virtual ~HotkeyRegistrar() = default;
    virtual void installHotkeyHandler() = 0;
    virtual void registerHotkey() = 0;
};
