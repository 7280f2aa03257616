#include "platform/wayland/WaylandKeyboardEvents.h"

#include "log/Log.h"
#include "platform/linux/TerminalEmulators.h"

namespace {

constexpr std::chrono::milliseconds releasePollInterval{20};

} // namespace

WaylandKeyboardEvents::WaylandKeyboardEvents(std::vector<std::unique_ptr<PasteMethod>> methods, Hooks hooks,
                                             std::chrono::milliseconds modifierReleaseLimit)
    : m_methods(std::move(methods))
    , m_hooks(std::move(hooks))
    , m_modifierReleaseLimit(modifierReleaseLimit) {
    m_releasePoll.setInterval(releasePollInterval);
    connect(&m_releasePoll, &QTimer::timeout, this, &WaylandKeyboardEvents::postOnceReleased);
}

WaylandKeyboardEvents::~WaylandKeyboardEvents() = default;

void WaylandKeyboardEvents::postPasteKeystroke() {
    ++m_pendingPastes;
    if (m_releasePoll.isActive()) {
        return;
    }
    m_releaseDeadline = QDeadlineTimer(m_modifierReleaseLimit);
    postOnceReleased();
}

bool WaylandKeyboardEvents::canPaste() const {
    for (const auto& method : m_methods) {
        if (method->isAvailable()) {
            return true;
        }
    }
    return false;
}

void WaylandKeyboardEvents::tellUserToPaste() {
    qCInfo(lcOutput).noquote() << "No way to paste in this session: the text stays on the clipboard";
    if (m_toldUser) {
        return;
    }
    m_toldUser = true;
    m_hooks.tellUser(QStringLiteral("Murmuro cannot paste in this session: the text is on the clipboard, "
                                    "paste it with Ctrl+V."));
}

void WaylandKeyboardEvents::postOnceReleased() {
    if (m_hooks.triggerHeld() && !m_releaseDeadline.hasExpired()) {
        m_releasePoll.start();
        return;
    }
    m_releasePoll.stop();
    const std::optional<QString> application = m_hooks.focusedApplication();
    const bool withShift = application && isTerminalEmulator(*application);
    for (; m_pendingPastes > 0; --m_pendingPastes) {
        tryFrom(0, withShift);
    }
}

void WaylandKeyboardEvents::tryFrom(size_t index, bool withShift) {
    while (index < m_methods.size() && !m_methods[index]->isAvailable()) {
        ++index;
    }
    if (index == m_methods.size()) {
        tellUserToPaste();
        return;
    }
    PasteMethod& method = *m_methods[index];
    method.paste(withShift, [this, index, withShift, name = method.name()](bool sent) {
        if (sent) {
            qCInfo(lcOutput).noquote()
                << "Pasted with" << (withShift ? "Ctrl+Shift+V" : "Ctrl+V") << "through" << name;
            return;
        }
        tryFrom(index + 1, withShift);
    });
}
