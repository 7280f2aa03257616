#pragma once

#include "speech/whisper/SpeechDetector.h"
#include "speech/whisper/WhisperModel.h"

#include <QString>

#include <future>
#include <memory>

/// What a Whisper dictation decodes with: the model and the voice activity detector, or why they could not
/// be loaded.
struct WhisperModels {
    std::shared_ptr<WhisperModel> model;
    std::shared_ptr<SpeechDetector> detector;
    QString error;
};

/// Models that may still be loading on a worker.
using PendingWhisperModels = std::shared_future<WhisperModels>;

/// Loads both files, in the calling thread.
WhisperModels loadWhisperModels(const QString& modelPath, const QString& detectorPath, int threads);
