#pragma once

#include "audio/MicrophoneRecorder.h"
#include "core/AppState.h"
#include "core/NullStages.h"
#include "core/SessionController.h"
#include "platform/PlatformServices.h"

#include <QSettings>

#include <memory>

/// The whole running program: platform services, the dictation stages, the one AppState and the session
/// controller, wired together and started up.
class Application {
public:
    Application();
    ~Application();

private:
    QSettings m_settings;
    PlatformServices m_platform;
    NullTranscriber m_transcriber;
    NullTranscriptRewriter m_rewriter;
    NullTextDeliverer m_deliverer;
    NullHotkeyRegistrar m_hotkeys;
    // Declared before the state it records into, so that the state and its capture go first.
    std::unique_ptr<MicrophoneRecorder> m_recorder;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<SessionController> m_controller;
};
