#include "platform/linux/GstAudioCapture.h"

#include "log/Log.h"
#include "platform/linux/GstRecordingSession.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <vector>

namespace {

/// Output devices offer their playback as a source too; that is no microphone.
bool isMonitorOfOutput(GstDevice* device) {
    GstStructure* properties = gst_device_get_properties(device);
    if (!properties) {
        return false;
    }
    const bool monitor = g_strcmp0(gst_structure_get_string(properties, "device.class"), "monitor") == 0;
    gst_structure_free(properties);
    return monitor;
}

QString takeString(gchar* text) {
    QString string = QString::fromUtf8(text);
    g_free(text);
    return string;
}

/// The sound server's name of the source: PulseAudio's source name, or PipeWire's node name.
QString deviceIdentifier(GstDevice* device) {
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(device), "internal-name")) {
        gchar* name = nullptr;
        g_object_get(device, "internal-name", &name, nullptr);
        return takeString(name);
    }
    QString name;
    if (GstStructure* properties = gst_device_get_properties(device)) {
        name = QString::fromUtf8(gst_structure_get_string(properties, "node.name"));
        gst_structure_free(properties);
    }
    return name.isEmpty() ? takeString(gst_device_get_display_name(device)) : name;
}

struct InputDevice {
    GstObjectPtr<GstDevice> device;
    AudioInputDevice description;
};

/// The input devices now. A monitor that is not running asks the sound server afresh for its list, and the
/// PulseAudio provider of GStreamer 1.22 leaks a connection with its shared memory pool each time it does;
/// started and stopped around the question, it closes its connection again.
std::vector<InputDevice> probeInputDevices(GstDeviceMonitor* monitor, bool running) {
    const bool startedHere = !running && gst_device_monitor_start(monitor);
    std::vector<InputDevice> devices;
    GList* list = gst_device_monitor_get_devices(monitor);
    for (GList* item = list; item; item = item->next) {
        GstObjectPtr<GstDevice> device(GST_DEVICE(item->data));
        if (isMonitorOfOutput(device.get())) {
            continue;
        }
        AudioInputDevice description{deviceIdentifier(device.get()),
                                     takeString(gst_device_get_display_name(device.get()))};
        devices.push_back({std::move(device), std::move(description)});
    }
    g_list_free(list);
    if (startedHere) {
        gst_device_monitor_stop(monitor);
    }
    return devices;
}

/// Whether GStreamer's first start in this process would scan every plugin: its registry cache, where
/// GStreamer looks for it, is missing (a new user profile, a cleared cache) or older than the plugins.
bool firstStartScansPlugins() {
    QString registry = qEnvironmentVariable("GST_REGISTRY_1_0", qEnvironmentVariable("GST_REGISTRY"));
    if (registry.isEmpty()) {
        // Named after the processor, which GStreamer knows by its own name.
        const QDir cache(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                         QStringLiteral("/gstreamer-1.0"));
        const QFileInfoList found =
            cache.entryInfoList({QStringLiteral("registry.*.bin")}, QDir::Files, QDir::Time);
        if (found.isEmpty()) {
            return true;
        }
        registry = found.first().filePath();
    }
    const QFileInfo cached(registry);
    return !cached.exists() ||
           cached.lastModified() < QFileInfo(QStringLiteral(MURMURO_GST_PLUGIN_DIR)).lastModified();
}

} // namespace

GstAudioCapture::GstAudioCapture() = default;

void GstAudioCapture::prepare() {
    if (!m_preparation.joinable() && firstStartScansPlugins()) {
        m_preparation = std::thread([] { gst_init(nullptr, nullptr); });
    }
}

GstAudioCapture::~GstAudioCapture() {
    if (m_preparation.joinable()) {
        m_preparation.join();
    }
    if (!m_monitor) {
        return;
    }
    if (m_monitoring) {
        gst_device_monitor_stop(m_monitor.get());
    }
    GstObjectPtr<GstBus> bus(gst_device_monitor_get_bus(m_monitor.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
}

GstDeviceMonitor* GstAudioCapture::monitor() const {
    if (!m_monitor) {
        gst_init(nullptr, nullptr);
        m_monitor.reset(GST_DEVICE_MONITOR(gst_object_ref_sink(gst_device_monitor_new())));
        gst_device_monitor_add_filter(m_monitor.get(), "Audio/Source", nullptr);
        GstObjectPtr<GstBus> bus(gst_device_monitor_get_bus(m_monitor.get()));
        gst_bus_set_sync_handler(bus.get(), &GstAudioCapture::onMonitorMessage,
                                 const_cast<GstAudioCapture*>(this), nullptr);
    }
    return m_monitor.get();
}

QList<AudioInputDevice> GstAudioCapture::inputDevices() const {
    QList<AudioInputDevice> list;
    for (const InputDevice& device : probeInputDevices(monitor(), m_monitoring)) {
        list.append(device.description);
    }
    return list;
}

void GstAudioCapture::setDevicesChangedHandler(std::function<void()> handler) {
    m_devicesChanged = std::move(handler);
    if (m_devicesChanged && !m_monitoring) {
        m_monitoring = gst_device_monitor_start(monitor());
    } else if (!m_devicesChanged && m_monitoring) {
        gst_device_monitor_stop(m_monitor.get());
        m_monitoring = false;
    }
}

GstBusSyncReply GstAudioCapture::onMonitorMessage(GstBus*, GstMessage* message, gpointer capture) {
    // A sync handler that drops a message releases it.
    const GstMessagePtr dropped(message);
    GstDevice* device = nullptr;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_DEVICE_ADDED:
        gst_message_parse_device_added(message, &device);
        break;
    case GST_MESSAGE_DEVICE_REMOVED:
        gst_message_parse_device_removed(message, &device);
        break;
    default:
        return GST_BUS_DROP;
    }
    GstObjectPtr<GstDevice> owned(device);
    if (!isMonitorOfOutput(device)) {
        auto* self = static_cast<GstAudioCapture*>(capture);
        QMetaObject::invokeMethod(
            self,
            [self] {
                if (self->m_devicesChanged) {
                    self->m_devicesChanged();
                }
            },
            Qt::QueuedConnection);
    }
    return GST_BUS_DROP;
}

GstElement* GstAudioCapture::createSource(const QString& deviceId) const {
    const std::vector<InputDevice> devices = probeInputDevices(monitor(), m_monitoring);
    if (devices.empty()) {
        return nullptr;
    }
    if (!deviceId.isEmpty()) {
        for (const InputDevice& device : devices) {
            if (device.description.uniqueId == deviceId) {
                return gst_device_create_element(device.device.get(), nullptr);
            }
        }
    }
    return gst_element_factory_make("autoaudiosrc", nullptr);
}

std::unique_ptr<CaptureSession> GstAudioCapture::startRecording(const QString& deviceId, const QString& url,
                                                                FinishHandler onFinish, LevelHandler onLevels,
                                                                SampleHandler onSamples) {
    GstElement* source = createSource(deviceId);
    if (!source) {
        qCWarning(lcAudio).noquote() << QStringLiteral(
            "No microphone found: the sound server lists no input device.");
        return nullptr;
    }
    auto session =
        std::make_unique<GstRecordingSession>(std::move(onFinish), std::move(onLevels), std::move(onSamples));
    if (const std::optional<QString> error = session->start(source, url)) {
        qCWarning(lcAudio).noquote() << QStringLiteral("The recording could not start: ") + *error;
        return nullptr;
    }
    return session;
}
