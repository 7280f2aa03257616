#pragma once

#include "platform/KeyboardEvents.h"
#include "platform/wayland/PasteMethod.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

/// Types the paste shortcut into the focused window of a Wayland session, trying each paste method in turn
/// and logging the one that sent it. When none can, the text stays on the clipboard and the user is told,
/// once, to paste it by hand.
///
/// Wayland shows no client the global keyboard state, so the wait for held modifiers relies on what the
/// trigger tells: a shortcut still held (the portal reports its release) delays the keys up to the limit.
class WaylandKeyboardEvents : public QObject, public KeyboardEvents {
    Q_OBJECT

public:
    struct Hooks {
        /// Whether the key combination that triggered the dictation is still held.
        std::function<bool()> triggerHeld;
        /// The application id of the focused window, when the compositor tells.
        std::function<std::optional<QString>()> focusedApplication;
        /// Shows the user one line.
        std::function<void(const QString&)> tellUser;
    };

    WaylandKeyboardEvents(std::vector<std::unique_ptr<PasteMethod>> methods, Hooks hooks,
                          std::chrono::milliseconds modifierReleaseLimit);
    ~WaylandKeyboardEvents() override;

    void postPasteKeystroke() override;

    /// Whether some method may still work.
    bool canPaste() const;

private:
    /// Tells the user, the first time only, that the text must be pasted by hand.
    void tellUserToPaste();
    void postOnceReleased();
    void tryFrom(size_t index, bool withShift);

    std::vector<std::unique_ptr<PasteMethod>> m_methods;
    Hooks m_hooks;
    std::chrono::milliseconds m_modifierReleaseLimit;
    QTimer m_releasePoll;
    QDeadlineTimer m_releaseDeadline;
    int m_pendingPastes = 0;
    bool m_toldUser = false;
};
