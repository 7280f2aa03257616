#include "core/Startup.h"

#include "core/AppState.h"
#include "core/Stages.h"
#include "log/Log.h"
#include "speech/SpeechRecognition.h"

void startUp(AppState& state, HotkeyRegistrar& hotkeys, SpeechRecognition& speech, TextDeliverer& deliverer) {
    QObject::connect(&state, &AppState::hotkeyKeyCodeChanged, &state,
                     [&hotkeys] { hotkeys.registerHotkey(); });
    QObject::connect(&state, &AppState::hotkeyModifiersChanged, &state,
                     [&hotkeys] { hotkeys.registerHotkey(); });

    state.loadStoredHotkey();
    hotkeys.installHotkeyHandler();
    hotkeys.registerHotkey();

    speech.requestAuthorization([&state](SpeechRecognition::AuthorizationStatus status) {
        QMetaObject::invokeMethod(
            &state,
            [status] {
                qCInfo(lcSession).noquote() << QStringLiteral("[AppState] Speech authorization status: ") +
                                                   QString::number(static_cast<int>(status));
            },
            Qt::QueuedConnection);
    });

    deliverer.checkAccessibilityPermission();
}
