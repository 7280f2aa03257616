#pragma once

#include <QString>

#include <gst/gst.h>

#include <memory>

struct GstObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
struct GstMessageUnref {
    void operator()(GstMessage* message) const { gst_message_unref(message); }
};
struct GstSampleUnref {
    void operator()(GstSample* sample) const { gst_sample_unref(sample); }
};
/// A pipeline is stopped before its last reference goes, or its elements keep threads and devices.
struct GstPipelineRelease {
    void operator()(GstElement* pipeline) const {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
    }
};

/// Owns one reference to a GStreamer object.
template <typename T>
using GstObjectPtr = std::unique_ptr<T, GstObjectUnref>;
using GstMessagePtr = std::unique_ptr<GstMessage, GstMessageUnref>;
using GstSamplePtr = std::unique_ptr<GstSample, GstSampleUnref>;
using GstPipelinePtr = std::unique_ptr<GstElement, GstPipelineRelease>;

/// The text of an error message, or fallback when it carries none.
inline QString gstErrorText(GstMessage* message, const QString& fallback = QString()) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const QString text = error && error->message ? QString::fromUtf8(error->message) : fallback;
    g_clear_error(&error);
    return text;
}
