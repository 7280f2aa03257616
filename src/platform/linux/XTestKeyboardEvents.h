#pragma once

#include "platform/KeyboardEvents.h"
#include "platform/linux/X11ActiveWindow.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>

/// Types the paste shortcut into the active X11 window through the XTEST extension: Ctrl+V, or
/// Ctrl+Shift+V for terminal emulators, which keep Ctrl+V for the shell.
///
/// The server adds the modifiers the user physically holds to synthetic keys, so a paste fired while the
/// hotkey's Super+Shift are still down would arrive as Super+Shift+Ctrl+V and paste nothing. The keystroke
/// therefore waits, without blocking the event loop, until no modifier key is held or the wait limit has
/// passed, and is then typed.
class XTestKeyboardEvents : public QObject, public KeyboardEvents {
    Q_OBJECT

public:
    XTestKeyboardEvents(xcb_connection_t* connection, std::shared_ptr<const X11ActiveWindow> windows,
                        std::chrono::milliseconds modifierReleaseLimit);

    void postPasteKeystroke() override;

private:
    void postOnceModifiersReleased();
    bool modifierKeyHeld() const;
    void typePaste();
    bool activeWindowIsTerminal() const;

    xcb_connection_t* m_connection;
    std::shared_ptr<const X11ActiveWindow> m_windows;
    std::chrono::milliseconds m_modifierReleaseLimit;
    QTimer m_releasePoll;
    QDeadlineTimer m_releaseDeadline;
    int m_pendingPastes = 0;
};
