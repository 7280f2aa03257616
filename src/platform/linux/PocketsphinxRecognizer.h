#pragma once

#include "platform/SpeechRecognition.h"
#include "platform/linux/PocketsphinxDecoder.h"

#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <vector>

class QObject;
class QThreadPool;

/// A pocketsphinx recogniser. Its model starts loading on a worker as soon as it is made, so that one made
/// while the user still speaks is ready when the recording ends; the model is freed with the recogniser.
///
/// Recognition decodes the file and runs the decoder on a worker, then reports one final result or one error
/// on the thread of mainThread. It gives up after twice the length of the audio plus extraTime.
class PocketsphinxRecognizer : public SpeechRecognizer {
public:
    /// workers and mainThread must outlive the recogniser.
    PocketsphinxRecognizer(const PocketsphinxModelPaths& paths, QThreadPool& workers, QObject& mainThread,
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
    QThreadPool& m_workers;
    QObject& m_mainThread;
    std::chrono::milliseconds m_extraTime;
    // Work in progress holds these weakly: once the recogniser is gone, no handler runs and the work stops.
    std::vector<std::shared_ptr<ResultHandler>> m_handlers;
};
