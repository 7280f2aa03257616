#pragma once

#include "platform/AudioCapture.h"
#include "platform/linux/GstSupport.h"

#include <QObject>

/// Microphones as GStreamer's device monitor sees them (class Audio/Source, without the monitors of output
/// devices), recorded through a GstRecordingSession. With PulseAudio or PipeWire a device's identifier is its
/// source name. The default input is whatever autoaudiosrc opens.
class GstAudioCapture : public QObject, public AudioCapture {
    Q_OBJECT

public:
    GstAudioCapture();
    ~GstAudioCapture() override;

    QList<AudioInputDevice> inputDevices() const override;
    void setDevicesChangedHandler(std::function<void()> handler) override;
    std::unique_ptr<CaptureSession> startRecording(const QString& deviceId, const QString& url,
                                                   FinishHandler onFinish, LevelHandler onLevels) override;

private:
    static GstBusSyncReply onMonitorMessage(GstBus* bus, GstMessage* message, gpointer capture);

    /// The source element for this device, or for the default input; none when there is no input at all.
    GstElement* createSource(const QString& deviceId) const;

    /// GStreamer and the monitor are set up on first use, so an idle program that never records or lists
    /// devices does not carry them.
    GstDeviceMonitor* monitor() const;

    mutable GstObjectPtr<GstDeviceMonitor> m_monitor;
    bool m_monitoring = false;
    std::function<void()> m_devicesChanged;
};
