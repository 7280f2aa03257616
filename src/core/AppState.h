#pragma once

#include "core/DictationMode.h"
#include "core/RecordingState.h"
#include "overlay/OverlayWindow.h"
#include "platform/Clock.h"
#include "platform/HotkeyService.h"
#include "platform/Workspace.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QSettings;

/// Everything the running program knows: the user's settings, the dictation in progress and the registered
/// hotkey. Lives on the main thread. The stages own their platform objects; this holds only what the
/// interface and the session controller read.
///
/// Seven settings persist under keys equal to their names, and so do the three of speech recognition
/// (speechEngine, whisperModel, whisperKeepLoadedMinutes), hotkeyMode, historyEnabled and vocabulary. Every
/// assignment writes them, also of an equal value, and announces the change, also of an equal value.
class AppState : public QObject {
    Q_OBJECT
    Q_PROPERTY(RecordingState recordingState READ recordingState WRITE setRecordingState NOTIFY
                   recordingStateChanged)
    Q_PROPERTY(Mode selectedMode READ selectedMode WRITE setSelectedMode NOTIFY selectedModeChanged)
    Q_PROPERTY(bool autoPaste READ autoPaste WRITE setAutoPaste NOTIFY autoPasteChanged)
    Q_PROPERTY(QString ollamaHost READ ollamaHost WRITE setOllamaHost NOTIFY ollamaHostChanged)
    Q_PROPERTY(QString modelName READ modelName WRITE setModelName NOTIFY modelNameChanged)
    Q_PROPERTY(QString transcriptionLocale READ transcriptionLocale WRITE setTranscriptionLocale NOTIFY
                   transcriptionLocaleChanged)
    Q_PROPERTY(QString selectedMicrophoneID READ selectedMicrophoneID WRITE setSelectedMicrophoneID NOTIFY
                   selectedMicrophoneIDChanged)
    Q_PROPERTY(quint16 hotkeyKeyCode READ hotkeyKeyCode WRITE setHotkeyKeyCode NOTIFY hotkeyKeyCodeChanged)
    Q_PROPERTY(
        quint64 hotkeyModifiers READ hotkeyModifiers WRITE setHotkeyModifiers NOTIFY hotkeyModifiersChanged)
    Q_PROPERTY(QString hotkeyString READ hotkeyString WRITE setHotkeyString NOTIFY hotkeyStringChanged)
    Q_PROPERTY(bool isRecordingShortcut READ isRecordingShortcut WRITE setIsRecordingShortcut NOTIFY
                   isRecordingShortcutChanged)
    Q_PROPERTY(bool isBannedWordsEnabled READ isBannedWordsEnabled WRITE setIsBannedWordsEnabled NOTIFY
                   isBannedWordsEnabledChanged)
    Q_PROPERTY(QString bannedWords READ bannedWords WRITE setBannedWords NOTIFY bannedWordsChanged)
    Q_PROPERTY(float volumeLevel READ volumeLevel WRITE setVolumeLevel NOTIFY volumeLevelChanged)
    Q_PROPERTY(QString speechEngine READ speechEngine WRITE setSpeechEngine NOTIFY speechEngineChanged)
    Q_PROPERTY(QString whisperModel READ whisperModel WRITE setWhisperModel NOTIFY whisperModelChanged)
    Q_PROPERTY(int whisperKeepLoadedMinutes READ whisperKeepLoadedMinutes WRITE setWhisperKeepLoadedMinutes
                   NOTIFY whisperKeepLoadedMinutesChanged)
    Q_PROPERTY(HotkeyMode hotkeyMode READ hotkeyMode WRITE setHotkeyMode NOTIFY hotkeyModeChanged)
    Q_PROPERTY(bool historyEnabled READ historyEnabled WRITE setHistoryEnabled NOTIFY historyEnabledChanged)
    Q_PROPERTY(QString vocabulary READ vocabulary WRITE setVocabulary NOTIFY vocabularyChanged)
    Q_PROPERTY(QString hotkeyNote READ hotkeyNote WRITE setHotkeyNote NOTIFY hotkeyNoteChanged)

public:
    using Mode = DictationMode;
    /// What the hotkey does: each press starts or stops a dictation, or a dictation lasts while it is held.
    enum class HotkeyMode { toggle, hold };
    Q_ENUM(HotkeyMode)
    using OverlayFactory = std::function<std::unique_ptr<OverlayWindow>(AppState&)>;

    static const QString defaultOllamaHost;
    static const QString defaultModelName;
    static const QString defaultBannedWords;
    static constexpr quint16 defaultHotkeyKeyCode = 15;
    static constexpr quint64 defaultHotkeyModifiers = 0x120000;
    static const QString defaultHotkeyString;
    static const QString defaultWhisperModel;
    static constexpr int defaultWhisperKeepLoadedMinutes = 5;
    static constexpr int maxWhisperKeepLoadedMinutes = 24 * 60;

    /// Gives every field its initial value and reads the locale, microphone, banned-words and speech
    /// recognition settings.
    /// currentLocale stands in for a locale setting that was never stored. Without an overlay factory the
    /// program shows no overlay.
    AppState(QSettings& settings, const QString& currentLocale, OverlayFactory overlayFactory = {});
    ~AppState() override;

    /// Assigns the stored hotkey, if one is stored, through the ordinary setters. A key code outside
    /// 0..65535 or negative modifiers cannot have come from this program and leave the initial hotkey.
    void loadStoredHotkey();

    RecordingState recordingState() const { return m_recordingState; }
    void setRecordingState(RecordingState state);
    Mode selectedMode() const { return m_selectedMode; }
    void setSelectedMode(Mode mode);
    bool autoPaste() const { return m_autoPaste; }
    void setAutoPaste(bool on);
    QString ollamaHost() const { return m_ollamaHost; }
    void setOllamaHost(const QString& host);
    QString modelName() const { return m_modelName; }
    void setModelName(const QString& model);
    QString transcriptionLocale() const { return m_transcriptionLocale; }
    void setTranscriptionLocale(const QString& locale);
    QString selectedMicrophoneID() const { return m_selectedMicrophoneID; }
    void setSelectedMicrophoneID(const QString& id);
    quint16 hotkeyKeyCode() const { return m_hotkeyKeyCode; }
    void setHotkeyKeyCode(quint16 keyCode);
    quint64 hotkeyModifiers() const { return m_hotkeyModifiers; }
    void setHotkeyModifiers(quint64 modifiers);
    QString hotkeyString() const { return m_hotkeyString; }
    void setHotkeyString(const QString& text);
    bool isRecordingShortcut() const { return m_isRecordingShortcut; }
    void setIsRecordingShortcut(bool listening);
    bool isBannedWordsEnabled() const { return m_isBannedWordsEnabled; }
    void setIsBannedWordsEnabled(bool enabled);
    QString bannedWords() const { return m_bannedWords; }
    void setBannedWords(const QString& words);
    float volumeLevel() const { return m_volumeLevel; }
    void setVolumeLevel(float level);

    // Settings of our own, stored beside the seven above.

    /// "whisper", "pocketsphinx" or "server"; empty until the user chooses, which means Whisper when its
    /// model is there and pocketsphinx otherwise.
    QString speechEngine() const { return m_speechEngine; }
    void setSpeechEngine(const QString& engine);
    /// A catalog model's name, such as "base.en", or the absolute path of a ggml model file.
    QString whisperModel() const { return m_whisperModel; }
    void setWhisperModel(const QString& model);
    /// How long the Whisper model stays in memory after a dictation; 0 frees it at once.
    int whisperKeepLoadedMinutes() const { return m_whisperKeepLoadedMinutes; }
    void setWhisperKeepLoadedMinutes(int minutes);
    /// Stored under "hotkeyMode" as "toggle" or "hold"; anything else reads as toggle.
    HotkeyMode hotkeyMode() const { return m_hotkeyMode; }
    void setHotkeyMode(HotkeyMode mode);
    /// Whether finished dictations are kept in the history.
    bool historyEnabled() const { return m_historyEnabled; }
    void setHistoryEnabled(bool enabled);
    /// Words and phrases, one per line, that speech recognition should spell as they are written.
    QString vocabulary() const { return m_vocabulary; }
    void setVocabulary(const QString& vocabulary);

    /// What Settings says under the hotkey where the desktop holds the shortcut (Wayland); empty elsewhere.
    /// Not stored.
    QString hotkeyNote() const { return m_hotkeyNote; }
    void setHotkeyNote(const QString& note);

    /// Created on first use, which is the first recording at the latest, and kept for the life of the
    /// process. It follows recordingState by itself.
    OverlayWindow& overlay();

    // Bookkeeping of the running dictation; nobody observes these.

    /// When the last hotkey press was accepted; the distant past until then.
    Clock::TimePoint lastHotkeyTime = Clock::TimePoint::min();
    /// The application in front when the last recording was stopped; it receives the paste.
    std::shared_ptr<RunningApplication> previousApp;
    /// Present while a global hotkey is registered.
    std::unique_ptr<HotkeyRegistration> eventHotKeyRef;

signals:
    void recordingStateChanged(RecordingState state);
    void selectedModeChanged(Mode mode);
    void autoPasteChanged(bool on);
    void ollamaHostChanged(const QString& host);
    void modelNameChanged(const QString& model);
    void transcriptionLocaleChanged(const QString& locale);
    void selectedMicrophoneIDChanged(const QString& id);
    void hotkeyKeyCodeChanged(quint16 keyCode);
    void hotkeyModifiersChanged(quint64 modifiers);
    void hotkeyStringChanged(const QString& text);
    void isRecordingShortcutChanged(bool listening);
    void isBannedWordsEnabledChanged(bool enabled);
    void bannedWordsChanged(const QString& words);
    void volumeLevelChanged(float level);
    void speechEngineChanged(const QString& engine);
    void whisperModelChanged(const QString& model);
    void whisperKeepLoadedMinutesChanged(int minutes);
    void hotkeyModeChanged(HotkeyMode mode);
    void historyEnabledChanged(bool enabled);
    void vocabularyChanged(const QString& vocabulary);
    void hotkeyNoteChanged(const QString& note);

private:
    QSettings& m_settings;
    OverlayFactory m_overlayFactory;
    std::unique_ptr<OverlayWindow> m_overlay;

    RecordingState m_recordingState = RecordingState::idle;
    Mode m_selectedMode = Mode::smart;
    bool m_autoPaste = true;
    QString m_ollamaHost;
    QString m_modelName;
    QString m_transcriptionLocale;
    QString m_selectedMicrophoneID;
    quint16 m_hotkeyKeyCode = defaultHotkeyKeyCode;
    quint64 m_hotkeyModifiers = defaultHotkeyModifiers;
    QString m_hotkeyString;
    bool m_isRecordingShortcut = false;
    bool m_isBannedWordsEnabled = true;
    QString m_bannedWords;
    float m_volumeLevel = 0.0f;
    QString m_speechEngine;
    QString m_whisperModel;
    int m_whisperKeepLoadedMinutes = defaultWhisperKeepLoadedMinutes;
    HotkeyMode m_hotkeyMode = HotkeyMode::toggle;
    bool m_historyEnabled = true;
    QString m_vocabulary;
    QString m_hotkeyNote;
};
