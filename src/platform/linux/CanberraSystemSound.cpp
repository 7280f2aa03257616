#include "platform/linux/CanberraSystemSound.h"

#include "log/Log.h"

#include <canberra.h>

namespace {

// The theme event closest to each sound the program asks for; names not listed have no sound here.
const char* themeEventFor(const QString& name) {
    if (name == QLatin1String("Tink")) {
        return "complete";
    }
    return nullptr;
}

} // namespace

CanberraSystemSound::CanberraSystemSound() {
    if (const int error = ca_context_create(&m_context); error != CA_SUCCESS) {
        qCWarning(lcOutput).noquote()
            << QStringLiteral("No confirmation sound: ") + QString::fromUtf8(ca_strerror(error));
        m_context = nullptr;
        return;
    }
    // Only the PulseAudio backend (also served by PipeWire) stops its player thread when the context is
    // destroyed; the ALSA backend leaves its threads running in code it has just unloaded.
    if (const int error = ca_context_set_driver(m_context, "pulse"); error != CA_SUCCESS) {
        qCWarning(lcOutput).noquote()
            << QStringLiteral("No confirmation sound: ") + QString::fromUtf8(ca_strerror(error));
        ca_context_destroy(m_context);
        m_context = nullptr;
        return;
    }
    ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Murmuro", CA_PROP_APPLICATION_ID, "murmuro",
                            nullptr);
}

CanberraSystemSound::~CanberraSystemSound() {
    if (m_context) {
        ca_context_destroy(m_context);
    }
}

void CanberraSystemSound::play(const QString& name) {
    const char* event = themeEventFor(name);
    if (!m_context || !event) {
        return;
    }
    // A failure (no server, no device, no theme file) means no sound, and nothing else.
    const int error = ca_context_play(m_context, 0, CA_PROP_EVENT_ID, event, CA_PROP_EVENT_DESCRIPTION,
                                      "Text delivered", nullptr);
    if (error != CA_SUCCESS) {
        qCWarning(lcOutput).noquote() << QStringLiteral("The confirmation sound did not play: ") +
                                             QString::fromUtf8(ca_strerror(error));
    }
}
