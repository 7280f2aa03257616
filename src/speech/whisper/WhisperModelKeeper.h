#pragma once

#include "speech/whisper/WhisperModels.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>

class QThreadPool;

/// Keeps the models of Whisper dictations in memory while they are needed. They load on a worker when a
/// dictation asks for them, stay loaded for a while after it (so that the next dictation starts at once),
/// and are freed after that. Lives on the main thread.
class WhisperModelKeeper : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::minutes defaultKeepLoaded{5};

    /// detectorPath is the voice activity model. workers must outlive the keeper.
    WhisperModelKeeper(QString detectorPath, int threads, QThreadPool& workers, QObject* parent = nullptr);

    /// The models for the Whisper model file at modelPath, loading them unless they are loaded or loading;
    /// they stay until release().
    PendingWhisperModels acquire(const QString& modelPath);

    /// The dictation is over: the models are freed after the keep-loaded time, at once when it is zero.
    /// A dictation still holding them keeps them until it is destroyed.
    void release();

    void setKeepLoaded(std::chrono::milliseconds keepLoaded) { m_keepLoaded = keepLoaded; }

    /// Whether models are loaded or loading.
    bool holdsModels() const { return m_models.valid(); }

private:
    void free();

    QString m_detectorPath;
    int m_threads;
    QThreadPool& m_workers;
    std::chrono::milliseconds m_keepLoaded = defaultKeepLoaded;
    QString m_modelPath;
    PendingWhisperModels m_models;
    QTimer m_freeTimer;
};
