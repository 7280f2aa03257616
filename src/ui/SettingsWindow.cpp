#include "ui/SettingsWindow.h"

#include "core/AppState.h"
#include "history/DictationHistory.h"
#include "hotkey/ShortcutRecorderView.h"
#include "platform/AudioCapture.h"
#include "speech/WhisperLanguages.h"
#include "ui/SpeechSection.h"
#include "ui/VocabularySection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGraphicsOpacityEffect>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit* boundLineEdit(const QString& name, const QString& text, QWidget* parent) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    return edit;
}

/// Shows a value that changed elsewhere without disturbing the cursor of text that already matches.
void showText(QLineEdit* edit, const QString& text) {
    if (edit->text() != text) {
        edit->setText(text);
    }
}

} // namespace

SettingsWindow::SettingsWindow(AppState& state, AudioCapture& audioCapture, SpeechEngineSelection& speech,
                               ModelDownloader& downloader, DictationHistory& history, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_audioCapture(audioCapture)
    , m_history(history) {
    setWindowTitle(QStringLiteral("Murmuro Settings"));
    setMinimumSize(520, 300);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(createOllamaSection());
    layout->addWidget(createShortcutsSection());
    layout->addWidget(createAudioSection());
    layout->addWidget(new SpeechSection(state, speech, downloader, this));
    layout->addWidget(new VocabularySection(state, speech, this));
    layout->addWidget(createBehaviourSection());
    layout->addWidget(createBannedWordsSection());
    layout->addStretch();
}

SettingsWindow::~SettingsWindow() {
    m_audioCapture.setDevicesChangedHandler({});
}

void SettingsWindow::present() {
    show();
    raise();
    activateWindow();
}

void SettingsWindow::showEvent(QShowEvent* event) {
    reloadMicrophones();
    reloadLanguages();
    // While the window is open the device list is kept from the monitor's reports, not read on every
    // redraw; while it is closed nobody looks at it, and watching would cost an idle sound-server client.
    m_audioCapture.setDevicesChangedHandler([this] { reloadMicrophones(); });
    QWidget::showEvent(event);
}

void SettingsWindow::hideEvent(QHideEvent* event) {
    m_audioCapture.setDevicesChangedHandler({});
    QWidget::hideEvent(event);
}

QWidget* SettingsWindow::createOllamaSection() {
    auto* box = new QGroupBox(QStringLiteral("Ollama"));
    auto* form = new QFormLayout(box);

    QLineEdit* host = boundLineEdit(QStringLiteral("ollamaHost"), m_state.ollamaHost(), box);
    connect(host, &QLineEdit::textEdited, &m_state, &AppState::setOllamaHost);
    connect(&m_state, &AppState::ollamaHostChanged, host,
            [host](const QString& text) { showText(host, text); });
    form->addRow(QStringLiteral("Host URL"), host);

    QLineEdit* model = boundLineEdit(QStringLiteral("modelName"), m_state.modelName(), box);
    connect(model, &QLineEdit::textEdited, &m_state, &AppState::setModelName);
    connect(&m_state, &AppState::modelNameChanged, model,
            [model](const QString& text) { showText(model, text); });
    form->addRow(QStringLiteral("Model name"), model);
    return box;
}

QWidget* SettingsWindow::createShortcutsSection() {
    auto* box = new QGroupBox(QStringLiteral("Shortcuts"));
    auto* column = new QVBoxLayout(box);
    auto* row = new QHBoxLayout;
    column->addLayout(row);
    row->addWidget(new QLabel(QStringLiteral("Global Recording Hotkey"), box));
    row->addStretch();
    auto* control = new ShortcutRecorderView(m_state, box);
    control->setObjectName(QStringLiteral("shortcut"));
    row->addWidget(control);

    auto* mode = new QComboBox(box);
    mode->setObjectName(QStringLiteral("hotkeyMode"));
    mode->addItem(QStringLiteral("Press to start and stop"),
                  QVariant::fromValue(AppState::HotkeyMode::toggle));
    mode->addItem(QStringLiteral("Hold to talk"), QVariant::fromValue(AppState::HotkeyMode::hold));
    const auto showMode = [mode](AppState::HotkeyMode value) {
        mode->setCurrentIndex(mode->findData(QVariant::fromValue(value)));
    };
    showMode(m_state.hotkeyMode());
    connect(mode, &QComboBox::activated, this, [this, mode](int index) {
        m_state.setHotkeyMode(mode->itemData(index).value<AppState::HotkeyMode>());
    });
    connect(&m_state, &AppState::hotkeyModeChanged, mode, showMode);
    column->addWidget(mode, 0, Qt::AlignRight);

    auto* note = new QLabel(m_state.hotkeyNote(), box);
    note->setObjectName(QStringLiteral("hotkeyNote"));
    note->setWordWrap(true);
    note->setVisible(!m_state.hotkeyNote().isEmpty());
    connect(&m_state, &AppState::hotkeyNoteChanged, note, [note](const QString& text) {
        note->setText(text);
        note->setVisible(!text.isEmpty());
    });
    column->addWidget(note);
    return box;
}

QWidget* SettingsWindow::createAudioSection() {
    auto* box = new QGroupBox(QStringLiteral("Audio Source && Language")); // "&&" shows one ampersand
    auto* form = new QFormLayout(box);

    m_microphone = new QComboBox(box);
    m_microphone->setObjectName(QStringLiteral("microphone"));
    connect(m_microphone, &QComboBox::activated, this,
            [this](int index) { m_state.setSelectedMicrophoneID(m_microphone->itemData(index).toString()); });
    connect(&m_state, &AppState::selectedMicrophoneIDChanged, this, &SettingsWindow::selectMicrophone);
    form->addRow(QStringLiteral("Microphone:"), m_microphone);

    m_language = new QComboBox(box);
    m_language->setObjectName(QStringLiteral("language"));
    connect(m_language, &QComboBox::activated, this,
            [this](int index) { m_state.setTranscriptionLocale(m_language->itemData(index).toString()); });
    connect(&m_state, &AppState::transcriptionLocaleChanged, this, &SettingsWindow::selectLanguage);
    form->addRow(QStringLiteral("Dictation Language:"), m_language);

    reloadMicrophones();
    reloadLanguages();
    return box;
}

QWidget* SettingsWindow::createBehaviourSection() {
    auto* box = new QGroupBox(QStringLiteral("Behaviour"));
    auto* layout = new QVBoxLayout(box);
    auto* autoPaste = new QCheckBox(QStringLiteral("Auto-Paste after processing"), box);
    autoPaste->setObjectName(QStringLiteral("autoPaste"));
    autoPaste->setChecked(m_state.autoPaste());
    connect(autoPaste, &QCheckBox::toggled, &m_state, &AppState::setAutoPaste);
    connect(&m_state, &AppState::autoPasteChanged, autoPaste, &QCheckBox::setChecked);
    layout->addWidget(autoPaste);

    auto* history = new QHBoxLayout;
    auto* keep = new QCheckBox(QStringLiteral("Keep recent dictations in the menu"), box);
    keep->setObjectName(QStringLiteral("historyEnabled"));
    keep->setChecked(m_state.historyEnabled());
    connect(keep, &QCheckBox::toggled, &m_state, &AppState::setHistoryEnabled);
    connect(&m_state, &AppState::historyEnabledChanged, keep, &QCheckBox::setChecked);
    auto* clear = new QPushButton(QStringLiteral("Clear Recent"), box);
    clear->setObjectName(QStringLiteral("clearHistory"));
    connect(clear, &QPushButton::clicked, this, [this] { m_history.clear(); });
    history->addWidget(keep);
    history->addStretch();
    history->addWidget(clear);
    layout->addLayout(history);
    return box;
}

QWidget* SettingsWindow::createBannedWordsSection() {
    auto* box = new QGroupBox(QStringLiteral("Banned Words"));
    auto* layout = new QVBoxLayout(box);

    auto* enabled = new QCheckBox(QStringLiteral("Enable Banned Words Filter"), box);
    enabled->setObjectName(QStringLiteral("bannedWordsEnabled"));
    enabled->setChecked(m_state.isBannedWordsEnabled());
    connect(enabled, &QCheckBox::toggled, &m_state, &AppState::setIsBannedWordsEnabled);
    connect(&m_state, &AppState::isBannedWordsEnabledChanged, enabled, &QCheckBox::setChecked);
    layout->addWidget(enabled);

    m_bannedWords = new QPlainTextEdit(m_state.bannedWords(), box);
    m_bannedWords->setObjectName(QStringLiteral("bannedWords"));
    m_bannedWords->setMinimumHeight(80);
    m_bannedWords->setMaximumHeight(120);
    // Monospaced at the size of the surrounding text, so the list reads as data without standing out.
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(font().pointSizeF());
    m_bannedWords->setFont(mono);
    m_bannedWordsOpacity = new QGraphicsOpacityEffect(m_bannedWords);
    m_bannedWords->setGraphicsEffect(m_bannedWordsOpacity);
    connect(m_bannedWords, &QPlainTextEdit::textChanged, this, [this] {
        if (m_bannedWords->toPlainText() != m_state.bannedWords()) {
            m_state.setBannedWords(m_bannedWords->toPlainText());
        }
    });
    connect(&m_state, &AppState::bannedWordsChanged, this, [this](const QString& words) {
        if (m_bannedWords->toPlainText() != words) {
            m_bannedWords->setPlainText(words);
        }
    });
    connect(&m_state, &AppState::isBannedWordsEnabledChanged, this, &SettingsWindow::showBannedWordsEnabled);
    showBannedWordsEnabled();
    layout->addWidget(m_bannedWords);

    auto* caption =
        new QLabel(QStringLiteral("Comma-separated list of words the AI must never generate."), box);
    QFont captionFont = caption->font();
    captionFont.setPointSizeF(captionFont.pointSizeF() * 0.85);
    caption->setFont(captionFont);
    caption->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(caption);
    return box;
}

void SettingsWindow::reloadMicrophones() {
    m_microphone->clear();
    m_microphone->addItem(QStringLiteral("System Default"), QString());
    for (const AudioInputDevice& device : m_audioCapture.inputDevices()) {
        m_microphone->addItem(device.displayName, device.uniqueId);
    }
    selectMicrophone();
}

void SettingsWindow::reloadLanguages() {
    const QString systemLocale = QLocale::system().name();
    m_language->clear();
    m_language->addItem(QStringLiteral("English (US)"), QStringLiteral("en-US"));
    m_language->addItem(QStringLiteral("English (UK)"), QStringLiteral("en-GB"));
    m_language->addItem(QStringLiteral("German"), QStringLiteral("de-DE"));
    m_language->addItem(QStringLiteral("System Default (%1)").arg(systemLocale), systemLocale);
    m_language->addItem(QStringLiteral("Automatic (Whisper finds the language)"), automaticLanguage);
    selectLanguage();
}

void SettingsWindow::selectMicrophone() {
    // A stored device that is not connected selects nothing; the stored value stays as it is.
    m_microphone->setCurrentIndex(m_microphone->findData(m_state.selectedMicrophoneID()));
}

void SettingsWindow::selectLanguage() {
    m_language->setCurrentIndex(m_language->findData(m_state.transcriptionLocale()));
}

void SettingsWindow::showBannedWordsEnabled() {
    const bool enabled = m_state.isBannedWordsEnabled();
    m_bannedWords->setEnabled(enabled);
    m_bannedWordsOpacity->setOpacity(enabled ? 1.0 : 0.6);
}
