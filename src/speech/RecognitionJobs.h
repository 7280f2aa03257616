#pragma once

#include "speech/SpeechRecognition.h"

#include <QObject>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <vector>

/// The threads an engine's recognisers work on: a pool for the heavy work and the main thread, where the
/// results are reported. Recognisers must not outlive it; create it on the main thread.
class RecognitionThreads {
public:
    /// Waits for the work still running, so that no worker outlives the engine.
    ~RecognitionThreads() { workers.waitForDone(); }

    QThreadPool workers;
    /// Reports are queued to this object's thread.
    QObject mainThread;
};

/// One recognition in flight, as the work sees it: the work holds its handler weakly, so that once the
/// recogniser is gone no handler runs and the work can stop early. Copyable and usable on any thread.
class RecognitionJob {
public:
    RecognitionJob(std::weak_ptr<SpeechRecognizer::ResultHandler> handler, RecognitionThreads& threads)
        : m_handler(std::move(handler))
        , m_threads(&threads) {}

    bool stillWanted() const { return !m_handler.expired(); }

    /// Runs then on the main thread, unless the recognition is no longer wanted by then.
    void onMainThread(std::function<void()> then) const {
        QMetaObject::invokeMethod(
            &m_threads->mainThread,
            [handler = m_handler, then = std::move(then)] {
                if (!handler.expired()) {
                    then();
                }
            },
            Qt::QueuedConnection);
    }

    /// Hands the result to the handler on the main thread.
    void report(const RecognitionResult& result) const {
        onMainThread([handler = m_handler, result] {
            if (const auto live = handler.lock()) {
                (*live)(result);
            }
        });
    }

private:
    std::weak_ptr<SpeechRecognizer::ResultHandler> m_handler;
    RecognitionThreads* m_threads;
};

/// The recognitions of one recogniser; their handlers live as long as this object.
class RecognitionJobs {
public:
    explicit RecognitionJobs(RecognitionThreads& threads)
        : m_threads(threads) {}

    RecognitionJob add(SpeechRecognizer::ResultHandler handler) {
        auto owned = std::make_shared<SpeechRecognizer::ResultHandler>(std::move(handler));
        m_handlers.push_back(owned);
        return RecognitionJob(owned, m_threads);
    }

    void runOnWorker(std::function<void()> work) { m_threads.workers.start(std::move(work)); }

private:
    RecognitionThreads& m_threads;
    std::vector<std::shared_ptr<SpeechRecognizer::ResultHandler>> m_handlers;
};
