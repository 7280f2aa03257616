#pragma once

#include "platform/AudioCapture.h"
#include "platform/linux/GstSupport.h"

#include <QObject>

#include <thread>

/// Microphones as GStreamer's device monitor sees them (class Audio/Source, without the monitors of output
/// devices), recorded through a GstRecordingSession. With PulseAudio or PipeWire a device's identifier is its
/// source name. The default input is whatever autoaudiosrc opens.
class GstAudioCapture : public QObject, public AudioCapture {
    Q_OBJECT

public:
    GstAudioCapture();
    ~GstAudioCapture() override;

    /// GStreamer's first start scans every plugin when its registry cache is missing or older than the
    /// plugins, which takes half a second; that start happens here on a thread of its own. With a current
    /// cache the first start takes a few milliseconds and is left to the first recording, so that an idle
    /// program does not carry the registry.
    void prepare() override;
    QList<AudioInputDevice> inputDevices() const override;
    void setDevicesChangedHandler(std::function<void()> handler) override;
    std::unique_ptr<CaptureSession> startRecording(const QString& deviceId, const QString& url,
                                                   FinishHandler onFinish, LevelHandler onLevels,
                                                   SampleHandler onSamples) override;

private:
    static GstBusSyncReply onMonitorMessage(GstBus* bus, GstMessage* message, gpointer capture);

    /// The source element for this device, or for the default input; none when there is no input at all.
    GstElement* createSource(const QString& deviceId) const;

    /// GStreamer and the monitor are set up on first use, so an idle program that never records or lists
    /// devices does not carry them.
    GstDeviceMonitor* monitor() const;

    std::thread m_preparation;
    mutable GstObjectPtr<GstDeviceMonitor> m_monitor;
    bool m_monitoring = false;
    std::function<void()> m_devicesChanged;
};
