#include "audio/MicrophoneRecorder.h"

#include "audio/VolumeLevel.h"
#include "core/AppState.h"
#include "log/Log.h"
#include "platform/AudioCapture.h"

#include <cmath>

MicrophoneRecorder::MicrophoneRecorder(AppState& state, AudioCapture& capture, QString recordingPath)
    : m_state(state)
    , m_capture(capture)
    , m_recordingPath(std::move(recordingPath)) {}

MicrophoneRecorder::~MicrophoneRecorder() = default;

void MicrophoneRecorder::startRecording(RecordingDelegate& delegate) {
    release();

    // The report may come from any thread; the delegate hears it on ours, as a task of its own, once the
    // capture is let go. A report of a capture that a newer one replaced meanwhile is dropped.
    const quint64 recording = ++m_recordings;
    auto onFinish = [this, &delegate, recording](const QString& url, const std::optional<QString>& error) {
        QMetaObject::invokeMethod(
            this,
            [this, &delegate, recording, url, error] {
                if (recording != m_recordings) {
                    return;
                }
                release();
                delegate.recordingDidFinish(url, error);
            },
            Qt::QueuedConnection);
    };
    m_session = m_capture.startRecording(m_state.selectedMicrophoneID(), m_recordingPath, std::move(onFinish),
                                         [this](const QList<float>& powers) { updateVolumeLevel(powers); });
    if (!m_session) {
        return;
    }
    m_state.setVolumeLevel(0.0f);
    m_state.setRecordingState(RecordingState::recording);
    qCInfo(lcAudio).noquote() << QStringLiteral("[AppState] Recording started");
}

void MicrophoneRecorder::stop() {
    m_state.setVolumeLevel(0.0f);
    if (m_session) {
        m_session->stopRecording();
    }
}

void MicrophoneRecorder::updateVolumeLevel(const QList<float>& channelPowers) {
    if (m_state.recordingState() != RecordingState::recording || channelPowers.isEmpty() ||
        std::isnan(channelPowers.first())) {
        return;
    }
    m_state.setVolumeLevel(volumeLevelForPower(channelPowers.first()));
}

void MicrophoneRecorder::release() {
    if (m_session) {
        m_session->stopRunning();
        m_session.reset();
    }
}
