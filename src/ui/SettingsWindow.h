#pragma once

#include <QWidget>

class AppState;
class AudioCapture;
class DictationHistory;
class ModelDownloader;
class SpeechEngineSelection;
class QComboBox;
class QGraphicsOpacityEffect;
class QPlainTextEdit;

/// The settings form: chat server, hotkey, microphone and language, speech recognition, auto-paste, the
/// history of recent dictations and the banned words. Every control writes to AppState as it is used and
/// follows AppState when something else changes it.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    SettingsWindow(AppState& state, AudioCapture& audioCapture, SpeechEngineSelection& speech,
                   ModelDownloader& downloader, DictationHistory& history, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    /// Shows the window, or brings it forward if it is open, in front of other applications.
    void present();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* createOllamaSection();
    QWidget* createShortcutsSection();
    QWidget* createAudioSection();
    QWidget* createBehaviourSection();
    QWidget* createBannedWordsSection();

    void reloadMicrophones();
    void reloadLanguages();
    void selectMicrophone();
    void selectLanguage();
    void showBannedWordsEnabled();

    AppState& m_state;
    AudioCapture& m_audioCapture;
    DictationHistory& m_history;
    QComboBox* m_microphone = nullptr;
    QComboBox* m_language = nullptr;
    QPlainTextEdit* m_bannedWords = nullptr;
    QGraphicsOpacityEffect* m_bannedWordsOpacity = nullptr;
};
