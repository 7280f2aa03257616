#include "platform/linux/CanberraSystemSound.h"

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
    if (ca_context_create(&m_context) != CA_SUCCESS) {
        m_context = nullptr;
        return;
    }
    // Only the PulseAudio backend (also served by PipeWire) stops its player thread when the context is
    // destroyed; the ALSA backend leaves its threads running in code it has just unloaded.
    if (ca_context_set_driver(m_context, "pulse") != CA_SUCCESS) {
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
    // Any failure (no server, no device, no theme file) simply means no sound.
    ca_context_play(m_context, 0, CA_PROP_EVENT_ID, event, CA_PROP_EVENT_DESCRIPTION, "Text delivered",
                    nullptr);
}
