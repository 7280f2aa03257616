#pragma once

#include "speech/SpeechRecognition.h"

#include <QString>

#include <memory>

/// The recognition dictations use. With serverUrl an http or https address with a host (the value of
/// MURMURO_SPEECH_SERVER), the transcription server there, asked for model (MURMURO_SPEECH_MODEL, "whisper-1"
/// when empty); otherwise offline pocketsphinx.
std::unique_ptr<SpeechRecognition> chooseSpeechRecognition(const QString& serverUrl, const QString& model);
