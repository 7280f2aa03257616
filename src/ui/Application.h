#pragma once

#include "audio/MicrophoneRecorder.h"
#include "core/AppState.h"
#include "core/SessionController.h"
#include "core/SpeechEngineSelection.h"
#include "history/DictationHistory.h"
#include "hotkey/GlobalHotkey.h"
#include "llm/ChatClient.h"
#include "output/PasteDeliverer.h"
#include "platform/PlatformServices.h"
#include "speech/SpeechTranscriber.h"
#include "speech/whisper/ModelDownloader.h"
#include "ui/AboutDialog.h"
#include "ui/SettingsWindow.h"
#include "ui/SingleInstance.h"
#include "ui/TrayMenu.h"

#include <QSettings>

#include <memory>

/// The whole running program: platform services, the dictation stages, the one AppState and the session
/// controller, wired together and started up.
class Application {
public:
    Application();
    ~Application();

    /// What the command line of a later start makes this instance do.
    SingleInstance::Actions instanceActions();

private:
    void showSettings();
    void showAbout();

    QSettings m_settings;
    PlatformServices m_platform;
    ChatClient m_rewriter;
    DictationHistory m_history;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<SpeechEngineSelection> m_speech;
    ModelDownloader m_downloader;
    // Before the recorder, which hands it the audio of a recording from the capture thread until the capture
    // is released.
    std::unique_ptr<SpeechTranscriber> m_transcriber;
    std::unique_ptr<MicrophoneRecorder> m_recorder;
    std::unique_ptr<PasteDeliverer> m_deliverer;
    std::unique_ptr<SessionController> m_controller;
    std::unique_ptr<GlobalHotkey> m_hotkeys;
    std::unique_ptr<AboutDialog> m_about;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    std::unique_ptr<TrayMenu> m_tray;
};
