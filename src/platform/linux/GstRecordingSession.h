#pragma once

#include "platform/AudioCapture.h"
#include "platform/linux/GstObjectPtr.h"

#include <QObject>
#include <QTimer>

#include <gst/gst.h>

/// One recording through one pipeline: source -> audioconvert -> level -> AAC encoder -> MP4 muxer -> file.
///
/// Bus messages are taken on the thread that posts them and handed to the main thread, where the levels are
/// kept and the finish handler is called, at most once. Stopping never waits for the pipeline: the end of
/// the stream is pushed in from a GStreamer worker thread and a watchdog reports an error when the file is
/// not finished in time. After stopRunning() the session reports nothing more, except that a later
/// stopRecording() reports at once that the file was not finished.
class GstRecordingSession : public QObject, public CaptureSession, public AudioFileOutput {
    Q_OBJECT

public:
    explicit GstRecordingSession(AudioCapture::FinishHandler onFinish);
    ~GstRecordingSession() override;

    /// Takes the (floating) source element, opens it, replaces whatever is at path by a new file that only
    /// its owner may read, and starts recording into it. False when any of that fails.
    bool start(GstElement* source, const QString& path);

    bool isRunning() const override { return m_running; }
    void stopRunning() override;
    AudioFileOutput* fileOutput() override { return this; }

    void stopRecording() override;
    QList<float> channelPowerLevels() const override { return m_levels; }

private:
    static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* message, gpointer session);
    GstElement* addElement(const char* factory);
    void finish(const std::optional<QString>& error);

    AudioCapture::FinishHandler m_onFinish;
    GstObjectPtr<GstElement> m_pipeline;
    GstElement* m_convert = nullptr;
    QString m_path;
    int m_fd = -1;
    bool m_running = false;
    bool m_stopping = false;
    bool m_finished = false;
    QList<float> m_levels;
    QTimer m_watchdog;
};
