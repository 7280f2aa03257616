#include "audio/MicrophoneRecorder.h"

#include "audio/VolumeLevel.h"
#include "core/AppState.h"
#include "core/Log.h"
#include "platform/AudioCapture.h"

#include <QPointer>
#include <QTimer>

#include <chrono>
#include <cmath>

namespace {

constexpr std::chrono::milliseconds meterInterval{50};

} // namespace

MicrophoneRecorder::MicrophoneRecorder(AppState& state, AudioCapture& capture, QString recordingPath)
    : m_state(state)
    , m_capture(capture)
    , m_recordingPath(std::move(recordingPath)) {}

void MicrophoneRecorder::startRecording(RecordingDelegate& delegate) {
    if (m_state.captureSession && m_state.captureSession->isRunning()) {
        m_state.captureSession->stopRunning();
    }

    // The report may come from any thread; the delegate hears it on ours, as a task of its own.
    auto onFinish = [this, &delegate](const QString& url, const std::optional<QString>& error) {
        QMetaObject::invokeMethod(
            this, [&delegate, url, error] { delegate.recordingDidFinish(url, error); }, Qt::QueuedConnection);
    };
    std::unique_ptr<CaptureSession> session =
        m_capture.startRecording(m_state.selectedMicrophoneID(), m_recordingPath, std::move(onFinish));
    if (!session) {
        return;
    }
    m_state.audioFileOutput = session->fileOutput();
    m_state.captureSession = std::move(session);

    m_state.setRecordingState(RecordingState::recording);
    m_state.overlay().show(OverlayState::recording);
    logLine(QStringLiteral("[AppState] Recording started"));
    startVolumeTimer();
}

void MicrophoneRecorder::startVolumeTimer() {
    m_state.volumeTimer.reset();
    m_state.setVolumeLevel(0.0f);

    auto timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(meterInterval);
    QPointer<AppState> state(&m_state);
    connect(timer.get(), &QTimer::timeout, this, [this, state] {
        QMetaObject::invokeMethod(
            this,
            [this, state] {
                if (state) {
                    updateVolumeLevel();
                }
            },
            Qt::QueuedConnection);
    });
    timer->start();
    m_state.volumeTimer = std::move(timer);
}

void MicrophoneRecorder::updateVolumeLevel() {
    if (m_state.recordingState() != RecordingState::recording || !m_state.audioFileOutput) {
        return;
    }
    const QList<float> channels = m_state.audioFileOutput->channelPowerLevels();
    if (channels.isEmpty() || std::isnan(channels.first())) {
        return;
    }
    m_state.setVolumeLevel(volumeLevelForPower(channels.first()));
}
