#include "core/AppState.h"
#include "fakes/FakeAudioDevices.h"
#include "platform/null/NullPlatform.h"
#include "ui/SettingsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsOpacityEffect>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

/// Picks an entry as a user would, which is what writes to the state.
void choose(QComboBox* box, const QString& title) {
    const int index = box->findText(title);
    QVERIFY2(index >= 0, qPrintable(title));
    box->setCurrentIndex(index);
    emit box->activated(index);
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<QSettings>(settingsPath(), QSettings::IniFormat);
        m_state = std::make_unique<AppState>(*m_settings, QStringLiteral("en_US"),
                                             [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
        m_audio.devices = {{QStringLiteral("usb-1"), QStringLiteral("USB Headset")},
                           {QStringLiteral("hda-0"), QStringLiteral("Built-in Microphone")}};
        m_window = std::make_unique<SettingsWindow>(*m_state, m_audio);
    }

    void cleanup() {
        m_window.reset();
        m_state.reset();
        m_settings.reset();
        m_dir.reset();
    }

    void formHasFiveSectionsAndAMinimumSize() {
        QStringList titles;
        for (const QGroupBox* box : m_window->findChildren<QGroupBox*>()) {
            titles.append(box->title().replace(QStringLiteral("&&"), QStringLiteral("&")));
        }
        QCOMPARE(titles, QStringList({QStringLiteral("Ollama"), QStringLiteral("Shortcuts"),
                                      QStringLiteral("Audio Source & Language"), QStringLiteral("Behaviour"),
                                      QStringLiteral("Banned Words")}));
        m_window->present();
        m_window->resize(100, 100);
        QVERIFY(m_window->width() >= 520);
        QVERIFY(m_window->height() >= 300);
    }

    void textFieldsWriteThrough() {
        auto* host = m_window->findChild<QLineEdit*>(QStringLiteral("ollamaHost"));
        auto* model = m_window->findChild<QLineEdit*>(QStringLiteral("modelName"));
        QCOMPARE(host->text(), AppState::defaultOllamaHost);
        host->clear();
        QTest::keyClicks(host, QStringLiteral("http://127.0.0.1:9"));
        QCOMPARE(m_state->ollamaHost(), QStringLiteral("http://127.0.0.1:9"));
        QTest::keyClicks(model, QStringLiteral("x"));
        QCOMPARE(m_state->modelName(), AppState::defaultModelName + QStringLiteral("x"));

        m_state->setModelName(QStringLiteral("llama3"));
        QCOMPARE(model->text(), QStringLiteral("llama3"));
    }

    void microphonePickerStoresTheDeviceId() {
        m_window->present();
        auto* microphone = m_window->findChild<QComboBox*>(QStringLiteral("microphone"));
        QCOMPARE(microphone->count(), 3);
        QCOMPARE(microphone->itemText(0), QStringLiteral("System Default"));
        QCOMPARE(microphone->currentIndex(), 0);

        choose(microphone, QStringLiteral("Built-in Microphone"));
        QCOMPARE(m_state->selectedMicrophoneID(), QStringLiteral("hda-0"));
        QCOMPARE(storedValue(QStringLiteral("selectedMicrophoneID")), QStringLiteral("hda-0"));
        choose(microphone, QStringLiteral("System Default"));
        QCOMPARE(m_state->selectedMicrophoneID(), QString());
        QCOMPARE(storedValue(QStringLiteral("selectedMicrophoneID")), QString());

        // A stored device that is not plugged in selects nothing and stays stored.
        m_state->setSelectedMicrophoneID(QStringLiteral("gone"));
        QCOMPARE(microphone->currentIndex(), -1);
        QCOMPARE(m_state->selectedMicrophoneID(), QStringLiteral("gone"));

        // Plugging it in selects it.
        m_audio.replaceDevices({{QStringLiteral("gone"), QStringLiteral("Returned Mic")}});
        QCOMPARE(microphone->count(), 2);
        QCOMPARE(microphone->currentText(), QStringLiteral("Returned Mic"));
    }

    void deviceListIsNotReadOnEveryChange() {
        m_window->present();
        const int reads = m_audio.listReads;
        for (int i = 0; i < 50; ++i) {
            m_state->setVolumeLevel(i / 50.0f);
        }
        m_state->setAutoPaste(false);
        QCOMPARE(m_audio.listReads, reads);

        m_window->hide();
        m_window->present();
        QCOMPARE(m_audio.listReads, reads + 1);
    }

    void languagePickerStoresTheLocale() {
        auto* language = m_window->findChild<QComboBox*>(QStringLiteral("language"));
        const QString systemLocale = QLocale::system().name();
        QCOMPARE(language->count(), 4);
        QCOMPARE(language->itemText(3), QStringLiteral("System Default (%1)").arg(systemLocale));

        choose(language, QStringLiteral("German"));
        QCOMPARE(m_state->transcriptionLocale(), QStringLiteral("de-DE"));
        QCOMPARE(storedValue(QStringLiteral("transcriptionLocale")), QStringLiteral("de-DE"));
        choose(language, QStringLiteral("English (UK)"));
        QCOMPARE(m_state->transcriptionLocale(), QStringLiteral("en-GB"));
        choose(language, language->itemText(3));
        QCOMPARE(m_state->transcriptionLocale(), systemLocale);

        m_state->setTranscriptionLocale(QStringLiteral("fr_CA_unknown"));
        QCOMPARE(language->currentIndex(), -1);
        QCOMPARE(m_state->transcriptionLocale(), QStringLiteral("fr_CA_unknown"));
        m_state->setTranscriptionLocale(QStringLiteral("en-US"));
        QCOMPARE(language->currentText(), QStringLiteral("English (US)"));
    }

    void autoPasteFollowsBothWays() {
        auto* autoPaste = m_window->findChild<QCheckBox*>(QStringLiteral("autoPaste"));
        QVERIFY(autoPaste->isChecked());
        autoPaste->click();
        QVERIFY(!m_state->autoPaste());
        m_state->setAutoPaste(true);
        QVERIFY(autoPaste->isChecked());
    }

    void bannedWordsEditorGreysOutWhenTheFilterIsOff() {
        auto* enabled = m_window->findChild<QCheckBox*>(QStringLiteral("bannedWordsEnabled"));
        auto* editor = m_window->findChild<QPlainTextEdit*>(QStringLiteral("bannedWords"));
        QCOMPARE(editor->toPlainText(), AppState::defaultBannedWords);
        QVERIFY(editor->minimumHeight() >= 80);
        QVERIFY(editor->maximumHeight() <= 120);

        editor->setPlainText(QStringLiteral("delve, tapestry"));
        QCOMPARE(m_state->bannedWords(), QStringLiteral("delve, tapestry"));
        QCOMPARE(storedValue(QStringLiteral("bannedWords")), QStringLiteral("delve, tapestry"));

        enabled->click();
        QVERIFY(!m_state->isBannedWordsEnabled());
        QCOMPARE(storedValue(QStringLiteral("isBannedWordsEnabled")), QStringLiteral("false"));
        QVERIFY(!editor->isEnabled());
        QCOMPARE(qobject_cast<QGraphicsOpacityEffect*>(editor->graphicsEffect())->opacity(), 0.6);
        QCOMPARE(editor->toPlainText(), QStringLiteral("delve, tapestry"));

        enabled->click();
        QVERIFY(m_state->isBannedWordsEnabled());
        QVERIFY(editor->isEnabled());
        QCOMPARE(qobject_cast<QGraphicsOpacityEffect*>(editor->graphicsEffect())->opacity(), 1.0);
    }

    void shortcutButtonShowsTheHotkey() {
        auto* button = m_window->findChild<QPushButton*>(QStringLiteral("shortcut"));
        QCOMPARE(button->text(), AppState::defaultHotkeyString);
        m_state->setHotkeyString(QStringLiteral("⌃⌥K"));
        QCOMPARE(button->text(), QStringLiteral("⌃⌥K"));
    }

private:
    QString settingsPath() const { return m_dir->filePath(QStringLiteral("settings.ini")); }

    /// What the settings file holds, read back from disk.
    QString storedValue(const QString& key) {
        m_settings->sync();
        return QSettings(settingsPath(), QSettings::IniFormat).value(key).toString();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<AppState> m_state;
    FakeAudioDevices m_audio;
    std::unique_ptr<SettingsWindow> m_window;
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
