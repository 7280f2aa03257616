#include "core/AppState.h"

#include <QSettings>

#include <algorithm>
#include <limits>

namespace {

const QString transcriptionLocaleKey = QStringLiteral("transcriptionLocale");
const QString selectedMicrophoneIDKey = QStringLiteral("selectedMicrophoneID");
const QString isBannedWordsEnabledKey = QStringLiteral("isBannedWordsEnabled");
const QString bannedWordsKey = QStringLiteral("bannedWords");
const QString hotkeyKeyCodeKey = QStringLiteral("hotkeyKeyCode");
const QString hotkeyModifiersKey = QStringLiteral("hotkeyModifiers");
const QString hotkeyStringKey = QStringLiteral("hotkeyString");
const QString speechEngineKey = QStringLiteral("speechEngine");
const QString whisperModelKey = QStringLiteral("whisperModel");
const QString whisperKeepLoadedMinutesKey = QStringLiteral("whisperKeepLoadedMinutes");
const QString hotkeyModeKey = QStringLiteral("hotkeyMode");
const QString holdValue = QStringLiteral("hold");
const QString historyEnabledKey = QStringLiteral("historyEnabled");
const QString vocabularyKey = QStringLiteral("vocabulary");

/// A stored string, or the fallback when nothing is stored or it does not read as text.
QString storedString(const QSettings& settings, const QString& key, const QString& fallback) {
    const QVariant value = settings.value(key);
    if (!value.isValid() || !value.canConvert<QString>()) {
        return fallback;
    }
    return value.toString();
}

/// A stored integer; text that is no number reads as 0.
qint64 storedInteger(const QSettings& settings, const QString& key) {
    bool ok = false;
    const qint64 number = settings.value(key).toLongLong(&ok);
    return ok ? number : 0;
}

class NoOverlay : public OverlayWindow {
public:
    OverlayState currentState() const override { return OverlayState::hidden; }
};

} // namespace

const QString AppState::defaultOllamaHost = QStringLiteral("http://127.0.0.1:11434");
const QString AppState::defaultModelName = QStringLiteral("gpt-oss:120b-cloud");
const QString AppState::defaultHotkeyString = QStringLiteral("\u2318\u21E7R");
const QString AppState::defaultWhisperModel = QStringLiteral("base.en");
const QString AppState::defaultBannedWords = QStringLiteral(
    "salt air, ocean breeze, tapestry, embark, delve, symphony, beacon, whisper, echo, dance, glimmer, "
    "shimmer, gaze, realm, destiny, fate, journey, unravel, enigmatic, mysterious, labyrinth, haunting, "
    "ethereal, luminous, serene, tranquil, brooding, ominous, foreboding, shadowy, stark, vivid, pulse, "
    "soul, "
    "heart, storm, tempest, maelstrom, crescendo, kaleidoscope, alchemy, arcane, myriad, resonance, "
    "inexorable, quintessential, timeworn, melancholy, ephemeral, transcend, odyssey, with teeth");

AppState::AppState(QSettings& settings, const QString& currentLocale, OverlayFactory overlayFactory)
    : m_settings(settings)
    , m_overlayFactory(std::move(overlayFactory))
    , m_ollamaHost(defaultOllamaHost)
    , m_modelName(defaultModelName)
    , m_transcriptionLocale(storedString(settings, transcriptionLocaleKey, currentLocale))
    , m_selectedMicrophoneID(storedString(settings, selectedMicrophoneIDKey, QString()))
    , m_hotkeyString(defaultHotkeyString)
    , m_isBannedWordsEnabled(settings.contains(isBannedWordsEnabledKey)
                                 ? settings.value(isBannedWordsEnabledKey).toBool()
                                 : true)
    , m_bannedWords(storedString(settings, bannedWordsKey, defaultBannedWords))
    , m_speechEngine(storedString(settings, speechEngineKey, QString()))
    , m_whisperModel(storedString(settings, whisperModelKey, defaultWhisperModel))
    , m_whisperKeepLoadedMinutes(
          settings.contains(whisperKeepLoadedMinutesKey)
              ? int(std::clamp<qint64>(storedInteger(settings, whisperKeepLoadedMinutesKey), 0,
                                       maxWhisperKeepLoadedMinutes))
              : defaultWhisperKeepLoadedMinutes)
    , m_hotkeyMode(storedString(settings, hotkeyModeKey, QString()) == holdValue ? HotkeyMode::hold
                                                                                 : HotkeyMode::toggle)
    , m_historyEnabled(settings.value(historyEnabledKey, true).toBool())
    , m_vocabulary(storedString(settings, vocabularyKey, QString())) {
    connect(this, &AppState::recordingStateChanged, this, [this](RecordingState state) {
        if (state != RecordingState::idle) {
            overlay();
        }
    });
}

AppState::~AppState() = default;

void AppState::loadStoredHotkey() {
    if (!m_settings.contains(hotkeyKeyCodeKey)) {
        return;
    }
    const qint64 keyCode = storedInteger(m_settings, hotkeyKeyCodeKey);
    const qint64 modifiers = storedInteger(m_settings, hotkeyModifiersKey);
    if (keyCode < 0 || keyCode > std::numeric_limits<quint16>::max() || modifiers < 0) {
        return;
    }
    setHotkeyKeyCode(static_cast<quint16>(keyCode));
    setHotkeyModifiers(static_cast<quint64>(modifiers));
    setHotkeyString(storedString(m_settings, hotkeyStringKey, defaultHotkeyString));
}

void AppState::setRecordingState(RecordingState state) {
    m_recordingState = state;
    emit recordingStateChanged(state);
}

void AppState::setSelectedMode(Mode mode) {
    m_selectedMode = mode;
    emit selectedModeChanged(mode);
}

void AppState::setAutoPaste(bool on) {
    m_autoPaste = on;
    emit autoPasteChanged(on);
}

void AppState::setOllamaHost(const QString& host) {
    m_ollamaHost = host;
    emit ollamaHostChanged(host);
}

void AppState::setModelName(const QString& model) {
    m_modelName = model;
    emit modelNameChanged(model);
}

void AppState::setTranscriptionLocale(const QString& locale) {
    m_transcriptionLocale = locale;
    m_settings.setValue(transcriptionLocaleKey, locale);
    emit transcriptionLocaleChanged(locale);
}

void AppState::setSelectedMicrophoneID(const QString& id) {
    m_selectedMicrophoneID = id;
    m_settings.setValue(selectedMicrophoneIDKey, id);
    emit selectedMicrophoneIDChanged(id);
}

void AppState::setHotkeyKeyCode(quint16 keyCode) {
    m_hotkeyKeyCode = keyCode;
    m_settings.setValue(hotkeyKeyCodeKey, keyCode);
    emit hotkeyKeyCodeChanged(keyCode);
}

void AppState::setHotkeyModifiers(quint64 modifiers) {
    m_hotkeyModifiers = modifiers;
    m_settings.setValue(hotkeyModifiersKey, modifiers);
    emit hotkeyModifiersChanged(modifiers);
}

void AppState::setHotkeyString(const QString& text) {
    m_hotkeyString = text;
    m_settings.setValue(hotkeyStringKey, text);
    emit hotkeyStringChanged(text);
}

void AppState::setIsRecordingShortcut(bool listening) {
    m_isRecordingShortcut = listening;
    emit isRecordingShortcutChanged(listening);
}

void AppState::setIsBannedWordsEnabled(bool enabled) {
    m_isBannedWordsEnabled = enabled;
    m_settings.setValue(isBannedWordsEnabledKey, enabled);
    emit isBannedWordsEnabledChanged(enabled);
}

void AppState::setBannedWords(const QString& words) {
    m_bannedWords = words;
    m_settings.setValue(bannedWordsKey, words);
    emit bannedWordsChanged(words);
}

void AppState::setHistoryEnabled(bool enabled) {
    m_historyEnabled = enabled;
    m_settings.setValue(historyEnabledKey, enabled);
    emit historyEnabledChanged(enabled);
}

void AppState::setVocabulary(const QString& vocabulary) {
    m_vocabulary = vocabulary;
    m_settings.setValue(vocabularyKey, vocabulary);
    emit vocabularyChanged(vocabulary);
}

void AppState::setVolumeLevel(float level) {
    m_volumeLevel = level;
    emit volumeLevelChanged(level);
}

void AppState::setHotkeyMode(HotkeyMode mode) {
    m_hotkeyMode = mode;
    m_settings.setValue(hotkeyModeKey, mode == HotkeyMode::hold ? holdValue : QStringLiteral("toggle"));
    emit hotkeyModeChanged(mode);
}

void AppState::setHotkeyNote(const QString& note) {
    m_hotkeyNote = note;
    emit hotkeyNoteChanged(note);
}

OverlayWindow& AppState::overlay() {
    if (!m_overlay) {
        m_overlay = m_overlayFactory ? m_overlayFactory(*this) : std::make_unique<NoOverlay>();
    }
    return *m_overlay;
}

void AppState::setSpeechEngine(const QString& engine) {
    m_speechEngine = engine;
    m_settings.setValue(speechEngineKey, engine);
    emit speechEngineChanged(engine);
}

void AppState::setWhisperModel(const QString& model) {
    m_whisperModel = model;
    m_settings.setValue(whisperModelKey, model);
    emit whisperModelChanged(model);
}

void AppState::setWhisperKeepLoadedMinutes(int minutes) {
    m_whisperKeepLoadedMinutes = std::clamp(minutes, 0, maxWhisperKeepLoadedMinutes);
    m_settings.setValue(whisperKeepLoadedMinutesKey, m_whisperKeepLoadedMinutes);
    emit whisperKeepLoadedMinutesChanged(m_whisperKeepLoadedMinutes);
}
