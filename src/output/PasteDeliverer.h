#pragma once

#include "core/Stages.h"

#include <QObject>
#include <QPointer>

class AccessibilityTrust;
class AppState;
class DesktopNotifications;
class KeyboardEvents;
class Pasteboard;
class SystemSound;

/// Delivers a dictation's text: the clipboard and a confirmation sound at once; with auto-paste, the
/// previous application brought back and the paste keystroke typed into it 0.3 s later. A keystroke that
/// cannot be sent leaves the text on the clipboard, which a notification says the first time: where the
/// desktop lets no program paste, every dictation would say it again.
class PasteDeliverer : public QObject, public TextDeliverer {
    Q_OBJECT

public:
    struct Services {
        Pasteboard& pasteboard;
        SystemSound& sound;
        AccessibilityTrust& accessibility;
        KeyboardEvents& keyboard;
        DesktopNotifications& notifications;
    };

    PasteDeliverer(AppState& state, Services services);

    void deliverText(const QString& text) override;
    bool checkAccessibilityPermission() override;

private:
    void pasteIntoFrontmost();

    QPointer<AppState> m_state;
    Services m_services;
    bool m_toldToPasteByHand = false;
};
