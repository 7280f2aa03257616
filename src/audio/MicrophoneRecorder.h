#pragma once

#include "core/Stages.h"

#include <QObject>

class AppState;
class AudioCapture;

/// Records the selected microphone into the recording file and meters its level into AppState while the
/// dictation is recording.
class MicrophoneRecorder : public QObject, public Recorder {
    Q_OBJECT

public:
    MicrophoneRecorder(AppState& state, AudioCapture& capture, QString recordingPath);

    void startRecording(RecordingDelegate& delegate) override;

    /// Replaces the level meter's timer by a new one that ticks 20 times a second, starting from level 0.
    void startVolumeTimer();

    /// One meter reading: the first channel's latest average power, while recording.
    void updateVolumeLevel();

private:
    AppState& m_state;
    AudioCapture& m_capture;
    QString m_recordingPath;
};
