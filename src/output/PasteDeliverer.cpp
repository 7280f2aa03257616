#include "output/PasteDeliverer.h"

#include "core/AppState.h"
#include "log/Log.h"
#include "platform/AccessibilityTrust.h"
#include "platform/DesktopNotifications.h"
#include "platform/KeyboardEvents.h"
#include "platform/Pasteboard.h"
#include "platform/SystemSound.h"

#include <QTimer>

#include <chrono>
#include <utility>

namespace {

// Gives the re-activated application time to come to the front before the keystroke reaches it.
constexpr std::chrono::milliseconds pasteDelay{300};

} // namespace

PasteDeliverer::PasteDeliverer(AppState& state, Services services)
    : m_state(&state)
    , m_services(services) {}

void PasteDeliverer::deliverText(const QString& text) {
    if (!m_state) {
        return;
    }
    m_services.pasteboard.clearContents();
    m_services.pasteboard.setString(text);
    m_services.sound.play(QStringLiteral("Tink"));

    if (!m_state->autoPaste()) {
        return;
    }
    const std::shared_ptr<RunningApplication>& previous = m_state->previousApp;
    if (previous && !previous->isTerminated()) {
        qCInfo(lcOutput).noquote() << QStringLiteral("[AppState] Activating ") +
                                          previous->localizedName().value_or(QStringLiteral("app")) +
                                          QStringLiteral("...");
        previous->activate();
    }
    QTimer::singleShot(pasteDelay, this, &PasteDeliverer::pasteIntoFrontmost);
}

void PasteDeliverer::pasteIntoFrontmost() {
    if (!m_state) {
        return;
    }
    if (!checkAccessibilityPermission()) {
        if (!std::exchange(m_toldToPasteByHand, true)) {
            m_services.notifications.notify(
                QStringLiteral("The text is on the clipboard; paste it with Ctrl+V."));
        }
        return;
    }
    qCInfo(lcOutput).noquote() << QStringLiteral("[AppState] Dispatching Cmd+V...");
    m_services.keyboard.postPasteKeystroke();
}

bool PasteDeliverer::checkAccessibilityPermission() {
    if (m_services.accessibility.isTrustedPromptingUser()) {
        return true;
    }
    qCWarning(lcOutput).noquote() << QStringLiteral(
        "[AppState] Accessibility not trusted. Prompting user...");
    return false;
}
