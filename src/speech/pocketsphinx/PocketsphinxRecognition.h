#pragma once

#include "speech/RecognitionJobs.h"
#include "speech/SpeechRecognition.h"
#include "speech/pocketsphinx/PocketsphinxDecoder.h"

#include <chrono>

/// Offline speech recognition with pocketsphinx. It knows US English only, written "en-US" or "en_US"; every
/// other locale is unsupported. No permission is needed.
///
/// Recognisers must not outlive it. Create it on the main thread: recognisers report there.
class PocketsphinxRecognition : public SpeechRecognition {
public:
    /// A recognition may take twice as long as its audio lasts, plus extraTime; after that it ends with an
    /// error. The decoder runs at about a third of real time, so only a stuck decoding reaches the limit.
    explicit PocketsphinxRecognition(PocketsphinxModelPaths paths = PocketsphinxModelPaths::usEnglish(),
                                     std::chrono::milliseconds extraTime = std::chrono::seconds(30));
    ~PocketsphinxRecognition() override;

    void requestAuthorization(std::function<void(AuthorizationStatus)> answer) override;
    std::unique_ptr<SpeechRecognizer> createRecognizer(const QString& localeIdentifier) override;

private:
    PocketsphinxModelPaths m_paths;
    std::chrono::milliseconds m_extraTime;
    RecognitionThreads m_threads;
};
