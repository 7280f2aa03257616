#pragma once

#include "speech/SpeechRecognition.h"

#include <QString>

#include <memory>

/// What the environment and the settings say about speech recognition.
struct SpeechSettings {
    QString serverUrl;    ///< MURMURO_SPEECH_SERVER
    QString serverModel;  ///< MURMURO_SPEECH_MODEL; "whisper-1" when empty
    QString engine;       ///< speechEngine: "whisper", "pocketsphinx", "server", or empty for the default
    QString whisperModel; ///< whisperModel: a catalog model's name or the absolute path of a model file
    int keepLoadedMinutes = 5;
};

/// The engine the settings lead to, before it is made.
struct SpeechEnginePlan {
    enum class Engine { whisper, pocketsphinx, server };

    Engine engine = Engine::pocketsphinx;
    QString whisperModelPath;      ///< The Whisper model file the settings name.
    QString whisperProblem;        ///< Why that file cannot be used; empty when it can.
    bool whisperWouldHelp = false; ///< pocketsphinx only because no usable Whisper model is there.

    /// One line for the log: the engine and its model.
    QString description(const SpeechSettings& settings) const;
};

/// A valid MURMURO_SPEECH_SERVER (an http or https address with a host) wins over everything. Otherwise
/// speechEngine decides: pocketsphinx, or Whisper with the model of whisperModel even when that model is
/// missing or damaged (each dictation then fails with the cause). Without a choice ("server" without a
/// server counts as none), Whisper when its model can be used, else pocketsphinx.
SpeechEnginePlan planSpeechRecognition(const SpeechSettings& settings);

/// Makes the engine of the plan. Create it on the main thread.
std::unique_ptr<SpeechRecognition> createSpeechRecognition(const SpeechEnginePlan& plan,
                                                           const SpeechSettings& settings);
