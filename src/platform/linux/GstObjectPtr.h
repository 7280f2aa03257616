#pragma once

#include <gst/gst.h>

#include <memory>

struct GstObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};

/// Owns one reference to a GStreamer object.
template <typename T>
using GstObjectPtr = std::unique_ptr<T, GstObjectUnref>;
