#include "ui/Application.h"

#include "audio/RecordingFile.h"
#include "core/Startup.h"
#include "overlay/OverlayWindowController.h"
#include "speech/SpeechRecognitionChoice.h"
#include "ui/AppIcon.h"

#include <QApplication>
#include <QLocale>
#include <QTimer>

Application::Application()
    : m_platform(createPlatformServices())
    , m_speech(chooseSpeechRecognition(qEnvironmentVariable("MURMURO_SPEECH_SERVER"),
                                       qEnvironmentVariable("MURMURO_SPEECH_MODEL"))) {
    m_state = std::make_unique<AppState>(m_settings, QLocale::system().name(), [this](AppState& state) {
        return std::make_unique<OverlayWindowController>(state, OverlayWindowController::PointerPosition(),
                                                         m_platform.overlaySurface.get());
    });
    m_recorder =
        std::make_unique<MicrophoneRecorder>(*m_state, *m_platform.audioCapture, recordingFilePath());
    m_transcriber = std::make_unique<SpeechTranscriber>(*m_state, *m_speech);
    m_deliverer = std::make_unique<PasteDeliverer>(
        *m_state, PasteDeliverer::Services{*m_platform.pasteboard, *m_platform.systemSound,
                                           *m_platform.accessibilityTrust, *m_platform.keyboardEvents});
    m_controller = std::make_unique<SessionController>(
        *m_state, *m_platform.clock, *m_platform.microphonePermission, *m_platform.workspace,
        SessionController::Stages{*m_recorder, *m_transcriber, m_rewriter, *m_deliverer});
    m_hotkeys =
        std::make_unique<GlobalHotkey>(*m_state, *m_platform.hotkeyService,
                                       GlobalHotkey::Actions{[this] { m_controller->toggleRecording(); },
                                                             [this] { m_controller->startHoldToTalk(); },
                                                             [this] { m_controller->endHoldToTalk(); }});
    startUp(*m_state, *m_hotkeys, *m_speech, *m_deliverer);

    QApplication::setWindowIcon(applicationIcon());
    m_tray = std::make_unique<TrayMenu>(*m_state, *m_controller,
                                        TrayMenu::WindowActions{[this] { showSettings(); },
                                                                [this] { showAbout(); },
                                                                [] { QApplication::quit(); }});
    QTimer::singleShot(500, m_tray.get(), [this] { showAbout(); });
}

Application::~Application() = default;

SingleInstance::Actions Application::instanceActions() {
    return {[this] { m_controller->toggleRecording(); }, [this] { m_controller->startDictation(); },
            [this] { m_controller->stopDictation(); }, [this] { showSettings(); }};
}

// The windows are built when first asked for: most of the time nobody looks at them, and an idle program
// should not carry them.
void Application::showSettings() {
    if (!m_settingsWindow) {
        m_settingsWindow = std::make_unique<SettingsWindow>(*m_state, *m_platform.audioCapture);
    }
    m_settingsWindow->present();
}

void Application::showAbout() {
    if (!m_about) {
        m_about = std::make_unique<AboutDialog>();
        // Closed, the dialog goes away with its window buffers; the next request builds it again.
        QObject::connect(m_about.get(), &QDialog::finished, m_tray.get(),
                         [this] { QTimer::singleShot(0, m_tray.get(), [this] { m_about.reset(); }); });
    }
    m_about->showPanel();
}
