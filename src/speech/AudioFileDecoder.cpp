#include "speech/AudioFileDecoder.h"

#include "platform/linux/GstSupport.h"

#include <gst/app/gstappsink.h>

#include <QUrl>

namespace {

// How long one pull waits for a sample before the bus and shouldContinue are looked at again. A pull that
// waited for good would never return on a file that is not audio: the pipeline stops before any sample.
constexpr GstClockTime pullTimeout = 100 * GST_MSECOND;

GstPipelinePtr buildPipeline(const QString& path) {
    GError* error = nullptr;
    GstPipelinePtr pipeline(
        gst_parse_launch("filesrc name=source ! decodebin ! audioconvert ! audioresample "
                         "! appsink name=sink sync=false max-buffers=64 "
                         "caps=\"audio/x-raw,format=S16LE,rate=16000,channels=1,layout=interleaved\"",
                         &error));
    if (error) {
        g_clear_error(&error);
        return nullptr;
    }
    GstObjectPtr<GstElement> source(gst_bin_get_by_name(GST_BIN(pipeline.get()), "source"));
    if (!source) {
        return nullptr;
    }
    g_object_set(source.get(), "location", path.toLocal8Bit().constData(), nullptr);
    return pipeline;
}

void consumeSample(GstSample* sample, const SampleConsumer& consume) {
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        return;
    }
    consume({reinterpret_cast<const std::int16_t*>(map.data), map.size / sizeof(std::int16_t)});
    gst_buffer_unmap(buffer, &map);
}

} // namespace

QString audioFilePath(const QString& url) {
    const QUrl parsed(url);
    return parsed.isLocalFile() ? parsed.toLocalFile() : url;
}

std::optional<QString> decodeAudioFile(const QString& path, const SampleConsumer& consume,
                                       const std::function<bool()>& shouldContinue) {
    gst_init(nullptr, nullptr);

    GstPipelinePtr pipeline = buildPipeline(path);
    if (!pipeline) {
        return QStringLiteral("the audio decoder could not be built");
    }
    GstObjectPtr<GstElement> sinkElement(gst_bin_get_by_name(GST_BIN(pipeline.get()), "sink"));
    GstObjectPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));
    auto* sink = GST_APP_SINK(sinkElement.get());

    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        GstMessagePtr message(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
        return message ? gstErrorText(message.get(), QStringLiteral("decoding failed"))
                       : QStringLiteral("the file could not be opened");
    }

    while (shouldContinue()) {
        GstMessagePtr message(gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR));
        if (message) {
            return gstErrorText(message.get(), QStringLiteral("decoding failed"));
        }
        GstSamplePtr sample(gst_app_sink_try_pull_sample(sink, pullTimeout));
        if (sample) {
            consumeSample(sample.get(), consume);
        } else if (gst_app_sink_is_eos(sink)) {
            return std::nullopt;
        }
    }
    return QStringLiteral("decoding was stopped");
}
