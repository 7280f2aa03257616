#include "platform/linux/GstRecordingSession.h"

#include <QFile>

#include <gst/app/gstappsink.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr guint64 levelInterval = 50 * GST_MSECOND;

// Ending the stream flushes the encoder and writes the MP4 index: well under a second even for a long
// recording, so a stop that takes this long will not finish by itself.
constexpr std::chrono::seconds finishTimeout{5};

/// Removes whatever is at path and creates a new, empty file there that only its owner may read. Removing
/// first and creating exclusively means a symlink planted at path is dropped, never followed.
int createPrivateFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    return ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

QList<float> rmsLevels(GstMessage* message) {
    QList<float> levels;
    const GValue* rms = gst_structure_get_value(gst_message_get_structure(message), "rms");
    if (!rms || !G_VALUE_HOLDS_BOXED(rms)) {
        return levels;
    }
    // The level element still reports its channels as a GValueArray.
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    const auto* channels = static_cast<const GValueArray*>(g_value_get_boxed(rms));
    for (guint i = 0; channels && i < channels->n_values; ++i) {
        levels.append(static_cast<float>(g_value_get_double(&channels->values[i])));
    }
    G_GNUC_END_IGNORE_DEPRECATIONS
    return levels;
}

/// Ends the stream at the converter's sink pad. A stream that never began cannot make a file; saying so at
/// once spares the elements an end without a beginning.
void endStream(GstElement* converter, gpointer sinkPad) {
    GstPad* pad = GST_PAD(sinkPad);
    if (GstEvent* segment = gst_pad_get_sticky_event(pad, GST_EVENT_SEGMENT, 0)) {
        gst_event_unref(segment);
        gst_pad_send_event(pad, gst_event_new_eos());
        return;
    }
    GError* error = g_error_new_literal(GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED,
                                        "No audio arrived from the input device.");
    gst_element_post_message(converter, gst_message_new_error(GST_OBJECT(converter), error, nullptr));
    g_error_free(error);
}

/// The appsink's report of a new piece of audio, on its streaming thread.
GstFlowReturn deliverSamples(GstAppSink* sink, gpointer handler) {
    const GstSamplePtr sample(gst_app_sink_pull_sample(sink));
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample.get()) : nullptr;
    GstMapInfo map;
    if (buffer && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        (*static_cast<const AudioCapture::SampleHandler*>(handler))(
            {reinterpret_cast<const float*>(map.data), map.size / sizeof(float)});
        gst_buffer_unmap(buffer, &map);
    }
    return GST_FLOW_OK;
}

/// What turns the audio into the file, made once the device records: AAC encoder, MP4 muxer, file.
constexpr std::array<const char*, 3> fileElements{"avenc_aac", "mp4mux", "fdsink"};

// The encoder joins within a fraction of a second; this bounds what the queue holds if it never does.
constexpr guint64 maxWaitForEncoder = 30 * GST_SECOND;

const char* const fileElementsLoaded = "murmuro-file-elements-loaded";

/// Loads the plugins of the file elements, on a GStreamer worker thread, and says so on the bus.
void loadFileElements(GstElement* pipeline, gpointer) {
    for (const char* name : fileElements) {
        GstObjectPtr<GstElementFactory> factory(gst_element_factory_find(name));
        if (factory) {
            GstObjectPtr<GstPluginFeature> loaded(gst_plugin_feature_load(GST_PLUGIN_FEATURE(factory.get())));
        }
    }
    gst_element_post_message(
        pipeline,
        gst_message_new_application(GST_OBJECT(pipeline), gst_structure_new_empty(fileElementsLoaded)));
}

} // namespace

GstRecordingSession::GstRecordingSession(AudioCapture::FinishHandler onFinish,
                                         AudioCapture::LevelHandler onLevels,
                                         AudioCapture::SampleHandler onSamples)
    : m_onFinish(std::move(onFinish))
    , m_onLevels(std::move(onLevels))
    , m_onSamples(std::move(onSamples))
    , m_pipeline(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new(nullptr)))) {
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(finishTimeout);
    connect(&m_watchdog, &QTimer::timeout, this,
            [this] { finish(QStringLiteral("The recording file was not finished in time.")); });
}

GstRecordingSession::~GstRecordingSession() {
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    GstObjectPtr<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

GstElement* GstRecordingSession::addElement(const char* factory) {
    GstElement* element = gst_element_factory_make(factory, nullptr);
    if (element && !gst_bin_add(GST_BIN(m_pipeline.get()), element)) {
        return nullptr;
    }
    return element;
}

std::optional<QString> GstRecordingSession::start(GstElement* source, const QString& path) {
    if (!gst_bin_add(GST_BIN(m_pipeline.get()), source)) {
        return QStringLiteral("the input device's element could not be used");
    }
    m_convert = addElement("audioconvert");
    GstElement* format = addElement("capsfilter");
    GstElement* level = addElement("level");
    m_queue = addElement("queue");
    const bool fileElementsKnown = std::ranges::all_of(fileElements, [](const char* name) {
        return GstObjectPtr<GstElementFactory>(gst_element_factory_find(name)) != nullptr;
    });
    if (!m_convert || !format || !level || !m_queue || !fileElementsKnown) {
        return QStringLiteral("a GStreamer element is missing (audioconvert, capsfilter, level, queue, "
                              "avenc_aac, mp4mux, fdsink)");
    }
    if (!gst_element_link_many(source, m_convert, format, level, nullptr) || !linkOutputs(level)) {
        return QStringLiteral("the recording pipeline could not be linked");
    }
    // The encoder's own input format, so that it takes what waited in the queue as it is.
    GstCaps* encoderInput = gst_caps_from_string("audio/x-raw,format=F32LE,layout=interleaved");
    g_object_set(format, "caps", encoderInput, nullptr);
    gst_caps_unref(encoderInput);
    g_object_set(level, "interval", levelInterval, "post-messages", TRUE, nullptr);
    g_object_set(m_queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time", maxWaitForEncoder,
                 nullptr);
    holdQueueUntilTheEncoderJoins();

    GstObjectPtr<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
    gst_bus_set_sync_handler(bus.get(), &GstRecordingSession::onBusMessage, this, nullptr);

    // The device is opened before the old recording is touched, so a start that cannot open it leaves
    // everything as it was.
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        return pipelineError(QStringLiteral("the input device could not be opened"));
    }
    m_fd = createPrivateFile(path);
    if (m_fd < 0) {
        return QStringLiteral("the recording file %1 could not be created: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    m_path = path;
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        QFile::remove(path);
        return pipelineError(QStringLiteral("the recording could not start"));
    }
    m_running = true;
    // The AAC encoder's plugin and its libraries take a tenth of a second and more to load the first time,
    // and tens of megabytes to keep, so they are neither loaded ahead nor waited for: the device records
    // into the queue meanwhile, and the file elements join once a GStreamer worker has loaded them.
    gst_element_call_async(m_pipeline.get(), &loadFileElements, nullptr, nullptr);
    return std::nullopt;
}

bool GstRecordingSession::linkOutputs(GstElement* level) {
    if (!m_onSamples) {
        return gst_element_link(level, m_queue);
    }
    GstElement* tee = addElement("tee");
    GstElement* samplesQueue = addElement("queue");
    GstElement* convert = addElement("audioconvert");
    GstElement* resample = addElement("audioresample");
    GstElement* samples = addElement("appsink");
    if (!tee || !samplesQueue || !convert || !resample || !samples) {
        return false;
    }
    GstCaps* caps = gst_caps_from_string("audio/x-raw,format=F32LE,rate=16000,channels=1,layout=interleaved");
    g_object_set(samples, "caps", caps, "sync", FALSE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &deliverSamples;
    gst_app_sink_set_callbacks(GST_APP_SINK(samples), &callbacks, &m_onSamples, nullptr);
    return gst_element_link_many(level, tee, m_queue, nullptr) &&
           gst_element_link_many(tee, samplesQueue, convert, resample, samples, nullptr);
}

void GstRecordingSession::holdQueueUntilTheEncoderJoins() {
    GstObjectPtr<GstPad> queueOutput(gst_element_get_static_pad(m_queue, "src"));
    m_hold = gst_pad_add_probe(
        queueOutput.get(), GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM,
        [](GstPad*, GstPadProbeInfo*, gpointer) { return GST_PAD_PROBE_OK; }, nullptr, nullptr);
    // Linking the encoder asks upstream to negotiate again, which the fixed format makes needless, and which
    // pulsesrc takes for its first negotiation when it arrives before that one: it then never starts.
    GstObjectPtr<GstPad> queueInput(gst_element_get_static_pad(m_queue, "sink"));
    gst_pad_add_probe(
        queueInput.get(), GST_PAD_PROBE_TYPE_EVENT_UPSTREAM,
        [](GstPad*, GstPadProbeInfo* info, gpointer) {
            return GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) == GST_EVENT_RECONFIGURE
                       ? GST_PAD_PROBE_DROP
                       : GST_PAD_PROBE_OK;
        },
        nullptr, nullptr);
}

void GstRecordingSession::attachFileElements() {
    if (!m_running || m_attached) {
        return;
    }
    m_attached = true;
    GstElement* encoder = addElement(fileElements[0]);
    GstElement* muxer = addElement(fileElements[1]);
    GstElement* sink = addElement(fileElements[2]);
    if (!encoder || !muxer || !sink || !gst_element_link_many(m_queue, encoder, muxer, sink, nullptr)) {
        finish(QStringLiteral("The AAC encoder, the MP4 muxer or the file could not join the recording."));
        return;
    }
    // Joining a running pipeline, the sink must not wait for a preroll that a live pipeline never has.
    g_object_set(sink, "fd", m_fd, "sync", FALSE, "async", FALSE, nullptr);
    for (GstElement* element : {sink, muxer, encoder}) {
        gst_element_sync_state_with_parent(element);
    }
    GstObjectPtr<GstPad> queueOutput(gst_element_get_static_pad(m_queue, "src"));
    gst_pad_remove_probe(queueOutput.get(), m_hold);
}

QString GstRecordingSession::pipelineError(const QString& what) const {
    std::lock_guard lock(m_errorMutex);
    return m_firstError.isEmpty() ? what : what + QStringLiteral(": ") + m_firstError;
}

void GstRecordingSession::stopRunning() {
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    m_running = false;
    m_watchdog.stop();
}

void GstRecordingSession::stopRecording() {
    if (m_stopping || m_finished) {
        return;
    }
    m_stopping = true;
    if (!m_running) {
        finish(QStringLiteral("The recording had stopped before its file was finished."));
        return;
    }
    // End-of-stream sent to the pipeline would go to the source, which blocks its caller until the source
    // delivers data, forever if it delivers none. Pushed into the element after the source, it flows down
    // to the file without waiting for the source, and from a worker thread in case that element is busy.
    gst_element_call_async(m_convert, &endStream, gst_element_get_static_pad(m_convert, "sink"),
                           gst_object_unref);
    m_watchdog.start();
}

GstBusSyncReply GstRecordingSession::onBusMessage(GstBus*, GstMessage* message, gpointer session) {
    // A sync handler that drops a message releases it; a message kept holds its element, and so the pipeline.
    const GstMessagePtr dropped(message);
    auto* self = static_cast<GstRecordingSession*>(session);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ELEMENT:
        if (gst_message_has_name(message, "level")) {
            QMetaObject::invokeMethod(
                self,
                [self, levels = rmsLevels(message)] {
                    if (self->m_running && self->m_onLevels) {
                        self->m_onLevels(levels);
                    }
                },
                Qt::QueuedConnection);
        }
        break;
    case GST_MESSAGE_APPLICATION:
        if (gst_message_has_name(message, fileElementsLoaded)) {
            QMetaObject::invokeMethod(
                self, [self] { self->attachFileElements(); }, Qt::QueuedConnection);
        }
        break;
    case GST_MESSAGE_EOS:
        QMetaObject::invokeMethod(
            self,
            [self] {
                if (self->m_running) {
                    self->finish(std::nullopt);
                }
            },
            Qt::QueuedConnection);
        break;
    case GST_MESSAGE_ERROR: {
        const QString error = gstErrorText(message, QStringLiteral("the recording failed"));
        {
            // A failed start reads it from here, since the main thread may be the one waiting for the start.
            std::lock_guard lock(self->m_errorMutex);
            if (self->m_firstError.isEmpty()) {
                self->m_firstError = error;
            }
        }
        QMetaObject::invokeMethod(
            self,
            [self, error] {
                if (self->m_running) {
                    self->finish(error);
                }
            },
            Qt::QueuedConnection);
        break;
    }
    default:
        break;
    }
    return GST_BUS_DROP;
}

void GstRecordingSession::finish(const std::optional<QString>& error) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_watchdog.stop();
    m_onFinish(m_path, error);
}
