#include "fakes/FakePlatform.h"
#include "fakes/TestAppState.h"
#include "ui/SettingsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsOpacityEffect>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QTest>

class TestSettings : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> m_app;
    FakeAudioCapture m_audio;
    std::unique_ptr<SettingsWindow> m_window;

    template <class Widget>
    Widget* child(const char* name) {
        return m_window->findChild<Widget*>(QLatin1String(name));
    }
    /// Picks an entry as a user would, which is what writes to the state.
    static void choose(QComboBox* box, const QString& title) {
        const int index = box->findText(title);
        QVERIFY2(index >= 0, qPrintable(title));
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    QString stored(const char* key) { return m_app->settings.value(key).toString(); }

private slots:
    void init() {
        m_window.reset();
        m_app = std::make_unique<TestAppState>();
        m_audio.devices = {{QStringLiteral("usb-1"), QStringLiteral("USB Headset")},
                           {QStringLiteral("hda-0"), QStringLiteral("Built-in Microphone")}};
        m_window = std::make_unique<SettingsWindow>(m_app->state, m_audio);
        m_window->present();
    }

    void controlsFollowTheStateBothWays() {
        auto* model = child<QLineEdit>("modelName");
        QTest::keyClicks(model, QStringLiteral("x"));
        QCOMPARE(m_app->state.modelName(), AppState::defaultModelName + QStringLiteral("x"));
        m_app->state.setModelName(QStringLiteral("llama3"));
        QCOMPARE(model->text(), QStringLiteral("llama3"));
        auto* autoPaste = child<QCheckBox>("autoPaste");
        autoPaste->click();
        QVERIFY(!m_app->state.autoPaste());
        m_app->state.setAutoPaste(true);
        QVERIFY(autoPaste->isChecked());
    }

    void microphonePickerStoresTheDeviceIdAndFollowsTheDevices() {
        auto* microphone = child<QComboBox>("microphone");
        // The list is not read again on every change of the state, which is 20 times a second while
        // recording.
        const int reads = m_audio.listReads;
        for (int i = 0; i < 50; ++i) {
            m_app->state.setVolumeLevel(i / 50.0f);
        }
        QCOMPARE(m_audio.listReads, reads);
        QCOMPARE(microphone->count(), 3);
        QCOMPARE(microphone->currentIndex(), 0);
        choose(microphone, QStringLiteral("Built-in Microphone"));
        QCOMPARE(stored("selectedMicrophoneID"), QStringLiteral("hda-0"));
        choose(microphone, QStringLiteral("System Default"));
        QCOMPARE(stored("selectedMicrophoneID"), QString());

        // A stored device that is not plugged in selects nothing and stays stored; plugging it in selects it.
        m_app->state.setSelectedMicrophoneID(QStringLiteral("gone"));
        QCOMPARE(microphone->currentIndex(), -1);
        QCOMPARE(m_app->state.selectedMicrophoneID(), QStringLiteral("gone"));
        m_audio.replaceDevices({{QStringLiteral("gone"), QStringLiteral("Returned Mic")}});
        QCOMPARE(microphone->count(), 2);
        QCOMPARE(microphone->currentText(), QStringLiteral("Returned Mic"));
        const int readsBeforeOpening = m_audio.listReads;
        m_window->hide();
        m_window->present();
        QCOMPARE(m_audio.listReads, readsBeforeOpening + 1);
    }

    void languagePickerStoresTheLocale() {
        auto* language = child<QComboBox>("language");
        choose(language, QStringLiteral("German"));
        QCOMPARE(stored("transcriptionLocale"), QStringLiteral("de-DE"));
        choose(language, QStringLiteral("System Default (%1)").arg(QLocale::system().name()));
        QCOMPARE(m_app->state.transcriptionLocale(), QLocale::system().name());
        m_app->state.setTranscriptionLocale(QStringLiteral("fr_CA_unknown"));
        QCOMPARE(language->currentIndex(), -1);
        QCOMPARE(m_app->state.transcriptionLocale(), QStringLiteral("fr_CA_unknown"));
        m_app->state.setTranscriptionLocale(QStringLiteral("en-GB"));
        QCOMPARE(language->currentText(), QStringLiteral("English (UK)"));
    }

    void bannedWordsEditorGreysOutWhenTheFilterIsOff() {
        auto* enabled = child<QCheckBox>("bannedWordsEnabled");
        auto* editor = child<QPlainTextEdit>("bannedWords");
        editor->setPlainText(QStringLiteral("delve, tapestry"));
        QCOMPARE(stored("bannedWords"), QStringLiteral("delve, tapestry"));
        const auto opacity = [&] {
            return qobject_cast<QGraphicsOpacityEffect*>(editor->graphicsEffect())->opacity();
        };
        enabled->click();
        QCOMPARE(stored("isBannedWordsEnabled"), QStringLiteral("false"));
        QVERIFY(!editor->isEnabled());
        QCOMPARE(opacity(), 0.6);
        enabled->click();
        QVERIFY(editor->isEnabled());
        QCOMPARE(opacity(), 1.0);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
