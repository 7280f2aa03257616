#pragma once

#include "platform/AudioCapture.h"
#include "platform/linux/GstSupport.h"

#include <QObject>
#include <QTimer>

#include <gst/gst.h>

#include <mutex>
#include <optional>

/// One recording through one pipeline: source -> audioconvert -> level -> queue -> AAC encoder -> MP4 muxer
/// -> file. The device records as soon as the start returns; the encoder, muxer and file join a moment later
/// and take what the queue held for them meanwhile. With a sample handler a tee after the level feeds a
/// second branch: resampled to 16 kHz mono float, into the handler on the branch's own streaming thread.
///
/// Bus messages are taken on the thread that posts them and handed to the main thread, where the level
/// handler hears every level reading and the finish handler is called, at most once. Stopping never waits for
/// the pipeline: the end of the stream is pushed in from a GStreamer worker thread and a watchdog reports an
/// error when the file is not finished in time. After stopRunning() the session reports nothing more, except
/// that a later stopRecording() reports at once that the file was not finished.
class GstRecordingSession : public QObject, public CaptureSession {
    Q_OBJECT

public:
    GstRecordingSession(AudioCapture::FinishHandler onFinish, AudioCapture::LevelHandler onLevels,
                        AudioCapture::SampleHandler onSamples);
    ~GstRecordingSession() override;

    /// Takes the (floating) source element, opens it, replaces whatever is at path by a new file that only
    /// its owner may read, and starts recording into it. Nothing when that worked, else why not.
    std::optional<QString> start(GstElement* source, const QString& path);

    bool isRunning() const override { return m_running; }
    void stopRunning() override;
    void stopRecording() override;

private:
    static GstBusSyncReply onBusMessage(GstBus* bus, GstMessage* message, gpointer session);
    GstElement* addElement(const char* factory);
    /// Links the level to the queue: straight, or through a tee that also feeds the sample handler.
    bool linkOutputs(GstElement* level);
    void holdQueueUntilTheEncoderJoins();
    void attachFileElements();
    void finish(const std::optional<QString>& error);
    /// what went wrong, with the first error the pipeline reported, if any.
    QString pipelineError(const QString& what) const;

    AudioCapture::FinishHandler m_onFinish;
    AudioCapture::LevelHandler m_onLevels;
    AudioCapture::SampleHandler m_onSamples;
    GstObjectPtr<GstElement> m_pipeline;
    GstElement* m_convert = nullptr;
    GstElement* m_queue = nullptr;
    gulong m_hold = 0;
    bool m_attached = false;
    QString m_path;
    int m_fd = -1;
    bool m_running = false;
    bool m_stopping = false;
    bool m_finished = false;
    QTimer m_watchdog;
    mutable std::mutex m_errorMutex;
    QString m_firstError;
};
