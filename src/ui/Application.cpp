#include "ui/Application.h"

#include "core/Startup.h"
#include "platform/null/NullPlatform.h"

#include <QLocale>

Application::Application()
    : m_platform(createPlatformServices())
{
    m_state = std::make_unique<AppState>(m_settings, QLocale::system().name(),
                                         [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
    m_deliverer = std::make_unique<PasteDeliverer>(
        *m_state, PasteDeliverer::Services{*m_platform.pasteboard, *m_platform.systemSound,
                                           *m_platform.accessibilityTrust, *m_platform.keyboardEvents});
    m_controller = std::make_unique<SessionController>(
        *m_state, *m_platform.clock, *m_platform.microphonePermission, *m_platform.workspace,
        SessionController::Stages{m_recorder, m_transcriber, m_rewriter, *m_deliverer});
    startUp(*m_state, m_hotkeys, *m_platform.speechRecognition, *m_deliverer);
}

Application::~Application() = default;
