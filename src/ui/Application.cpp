#include "ui/Application.h"

#include "audio/RecordingFile.h"
#include "core/Startup.h"
#include "overlay/OverlayWindowController.h"
#include "ui/AppIcon.h"

#include <QApplication>
#include <QLocale>
#include <QTimer>

Application::Application()
    : m_platform(createPlatformServices())
    , m_history(DictationHistory::defaultPath())
    , m_downloader(whisperModelsDirectory(), qEnvironmentVariable("MURMURO_MODEL_MIRROR")) {
    m_state = std::make_unique<AppState>(m_settings, QLocale::system().name(), [this](AppState& state) {
        return std::make_unique<OverlayWindowController>(state, OverlayWindowController::PointerPosition(),
                                                         m_platform.overlaySurface.get());
    });
    m_speech =
        std::make_unique<SpeechEngineSelection>(*m_state, qEnvironmentVariable("MURMURO_SPEECH_SERVER"),
                                                qEnvironmentVariable("MURMURO_SPEECH_MODEL"));
    m_transcriber = std::make_unique<SpeechTranscriber>(*m_state, m_speech->recognition());
    m_recorder = std::make_unique<MicrophoneRecorder>(
        *m_state, *m_platform.audioCapture, recordingFilePath(),
        [transcriber = m_transcriber.get()](std::span<const float> samples) {
            transcriber->hearAudio(samples);
        });
    m_deliverer = std::make_unique<PasteDeliverer>(
        *m_state, PasteDeliverer::Services{*m_platform.pasteboard, *m_platform.systemSound,
                                           *m_platform.accessibilityTrust, *m_platform.keyboardEvents,
                                           *m_platform.notifications});
    m_controller = std::make_unique<SessionController>(
        *m_state, *m_platform.clock, *m_platform.microphonePermission, *m_platform.workspace,
        SessionController::Stages{*m_recorder, *m_transcriber, m_rewriter, *m_deliverer},
        SessionController::Records{m_history, *m_platform.notifications});
    m_hotkeys =
        std::make_unique<GlobalHotkey>(*m_state, *m_platform.hotkeyService, *m_platform.notifications,
                                       GlobalHotkey::Actions{[this] { m_controller->toggleRecording(); },
                                                             [this] { m_controller->startHoldToTalk(); },
                                                             [this] { m_controller->endHoldToTalk(); }});
    startUp(*m_state, *m_hotkeys, m_speech->recognition(), *m_deliverer);

    QApplication::setWindowIcon(applicationIcon());
    m_tray = std::make_unique<TrayMenu>(
        *m_state, *m_controller, TrayMenu::Recent{m_history, *m_platform.pasteboard},
        TrayMenu::WindowActions{[this] { showSettings(); }, [this] { showAbout(); },
                                [] { QApplication::quit(); }});
    QTimer::singleShot(500, m_tray.get(), [this] { showAbout(); });
    // Once the program is up, so that the first dictation starts as fast as the next ones.
    QTimer::singleShot(0, m_tray.get(), [this] { m_platform.audioCapture->prepare(); });
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
        m_settingsWindow = std::make_unique<SettingsWindow>(*m_state, *m_platform.audioCapture, *m_speech,
                                                            m_downloader, m_history);
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
