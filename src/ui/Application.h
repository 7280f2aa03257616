#pragma once

#include "core/AppState.h"
#include "core/NullStages.h"
#include "core/SessionController.h"
#include "platform/PlatformServices.h"
#include "speech/SpeechTranscriber.h"

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
    NullRecorder m_recorder;
    NullTranscriptRewriter m_rewriter;
    NullTextDeliverer m_deliverer;
    NullHotkeyRegistrar m_hotkeys;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<SpeechTranscriber> m_transcriber;
    std::unique_ptr<SessionController> m_controller;
};
