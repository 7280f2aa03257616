#pragma once

#include "core/Stages.h"

#include <QObject>

#include <memory>

class AppState;
class AudioCapture;
class CaptureSession;

/// Records the selected microphone into the recording file and meters its level into AppState while the
/// dictation is recording. It owns the capture from the start of a recording until its file is handed over.
class MicrophoneRecorder : public QObject, public Recorder {
    Q_OBJECT

public:
    MicrophoneRecorder(AppState& state, AudioCapture& capture, QString recordingPath);
    ~MicrophoneRecorder() override;

    void startRecording(RecordingDelegate& delegate) override;
    void stop() override;

    /// One meter reading: the first channel's average power, while recording.
    void updateVolumeLevel(const QList<float>& channelPowers);

private:
    void release();

    AppState& m_state;
    AudioCapture& m_capture;
    QString m_recordingPath;
    std::unique_ptr<CaptureSession> m_session;
    quint64 m_recordings = 0;
};
