#pragma once

#include "speech/RecognitionJobs.h"
#include "speech/SpeechRecognition.h"
#include "speech/pocketsphinx/PocketsphinxDecoder.h"

#include <chrono>
#include <future>
#include <memory>
#include <mutex>

/// A pocketsphinx recogniser. Its model starts loading on a worker as soon as it is made, so that one made
/// while the user still speaks is ready when the recording ends; the model is freed with the recogniser.
///
/// Recognition decodes the file and runs the decoder on a worker, then reports the words or an error on the
/// main thread. It gives up after twice the length of the audio plus extraTime.
class PocketsphinxRecognizer : public SpeechRecognizer {
public:
    /// threads must outlive the recogniser.
    PocketsphinxRecognizer(const PocketsphinxModelPaths& paths, RecognitionThreads& threads,
                           std::chrono::milliseconds extraTime);
    ~PocketsphinxRecognizer() override;

    /// Waits for the model to load, which normally finished long ago.
    bool isAvailable() const override;
    void recognizeFile(const QString& url, ResultHandler handler) override;

    struct Model {
        std::mutex inUse;
        std::unique_ptr<PocketsphinxDecoder> decoder;
    };

private:
    std::shared_future<std::shared_ptr<Model>> m_model;
    std::chrono::milliseconds m_extraTime;
    RecognitionJobs m_jobs;
};
