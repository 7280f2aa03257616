#include "speech/whisper/WhisperModelKeeper.h"

#include <QThreadPool>

WhisperModelKeeper::WhisperModelKeeper(QString detectorPath, int threads, QThreadPool& workers,
                                       QObject* parent)
    : QObject(parent)
    , m_detectorPath(std::move(detectorPath))
    , m_threads(threads)
    , m_workers(workers) {
    m_freeTimer.setSingleShot(true);
    connect(&m_freeTimer, &QTimer::timeout, this, &WhisperModelKeeper::free);
}

PendingWhisperModels WhisperModelKeeper::acquire(const QString& modelPath) {
    m_freeTimer.stop();
    // A load that failed is tried again: the user may have put the file right in the meantime.
    const bool failed = m_models.valid() &&
                        m_models.wait_for(std::chrono::seconds(0)) == std::future_status::ready &&
                        !m_models.get().model;
    if (m_models.valid() && m_modelPath == modelPath && !failed) {
        return m_models;
    }
    auto loading = std::make_shared<std::promise<WhisperModels>>();
    m_modelPath = modelPath;
    m_models = loading->get_future().share();
    m_workers.start([loading, modelPath, detectorPath = m_detectorPath, threads = m_threads] {
        loading->set_value(loadWhisperModels(modelPath, detectorPath, threads));
    });
    return m_models;
}

void WhisperModelKeeper::release() {
    if (m_keepLoaded.count() <= 0) {
        free();
    } else {
        m_freeTimer.start(m_keepLoaded);
    }
}

void WhisperModelKeeper::free() {
    m_freeTimer.stop();
    m_models = PendingWhisperModels();
    m_modelPath.clear();
}
