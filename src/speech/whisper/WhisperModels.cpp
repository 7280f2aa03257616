#include "speech/whisper/WhisperModels.h"

WhisperModels loadWhisperModels(const QString& modelPath, const QString& detectorPath, int threads) {
    SpeechDetector::Loaded detector = SpeechDetector::load(detectorPath);
    if (!detector.detector) {
        return {nullptr, nullptr, detector.error};
    }
    WhisperModel::Loaded model = WhisperModel::load(modelPath, threads);
    if (!model.model) {
        return {nullptr, nullptr, model.error};
    }
    return {std::move(model.model), std::move(detector.detector), QString()};
}
