#pragma once

#include "core/AppState.h"
#include "core/NullStages.h"
#include "core/SessionController.h"
#include "output/PasteDeliverer.h"
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
    NullRecorder m_recorder;
    NullTranscriber m_transcriber;
    NullTranscriptRewriter m_rewriter;
    std::unique_ptr<PasteDeliverer> m_deliverer;
    NullHotkeyRegistrar m_hotkeys;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<SessionController> m_controller;
};
