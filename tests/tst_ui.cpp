#include "fakes/FakeStages.h"
#include "ui/SettingsWindow.h"
#include "ui/TrayMenu.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

// The tray menu and the Settings window, each acting on AppState and redrawn from it.
class TestUi : public QObject {
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

    void textsAndTogglesFollowTheStateBothWays() {
        auto* model = child<QLineEdit>("modelName");
        QTest::keyClicks(model, QStringLiteral("x"));
        QCOMPARE(m_app->state.modelName(), AppState::defaultModelName + QStringLiteral("x"));
        m_app->state.setModelName(QStringLiteral("llama3"));
        QCOMPARE(model->text(), QStringLiteral("llama3"));
        child<QCheckBox>("autoPaste")->click();
        QVERIFY(!m_app->state.autoPaste());
        auto* bannedWords = child<QPlainTextEdit>("bannedWords");
        bannedWords->setPlainText(QStringLiteral("delve, tapestry"));
        QCOMPARE(stored("bannedWords"), QStringLiteral("delve, tapestry"));
        child<QCheckBox>("bannedWordsEnabled")->click();
        QCOMPARE(stored("isBannedWordsEnabled"), QStringLiteral("false"));
        QVERIFY(!bannedWords->isEnabled()); // the words are kept, greyed out
        m_app->state.setIsBannedWordsEnabled(true);
        QVERIFY(bannedWords->isEnabled());
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

    void trayMenuActsOnTheStateAndRedraws() {
        FakeDictation d;
        QStringList opened;
        TrayMenu tray(d.state, *d.controller,
                      TrayMenu::WindowActions{[&] { opened << "settings"; }, [&] { opened << "about"; },
                                              [&] { opened << "quit"; }});
        const auto item = [&tray](const QString& prefix) {
            const QList<QAction*> actions = tray.menu().actions();
            const auto found =
                std::ranges::find_if(actions, [&](QAction* a) { return a->text().startsWith(prefix); });
            return found == actions.end() ? nullptr : *found;
        };
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\u2728"));
        item(rawValue(DictationMode::zero))->trigger();
        QCOMPARE(d.state.selectedMode(), DictationMode::zero);
        QVERIFY(!item(rawValue(DictationMode::smart))->isChecked());
        QVERIFY(item(rawValue(DictationMode::zero))->isChecked());
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\u2699\uFE0F")); // the whole emoji
        item("Auto-Paste")->trigger();
        QVERIFY(!d.state.autoPaste() && !item("Auto-Paste")->isChecked());
        d.state.setHotkeyString(QStringLiteral("\u2303K"));
        QCOMPARE(item("Start Recording")->text(), QStringLiteral("Start Recording  \u2303K"));

        // The menu starts a dictation directly, not through the hotkey's repeat guard.
        d.state.lastHotkeyTime = d.clock.now();
        item("Start Recording")->trigger();
        QTRY_COMPARE(d.recorder.starts, 1);
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\U0001F534"));
        item("Stop & Process")->trigger();
        QCOMPARE(d.state.recordingState(), RecordingState::processing);
        QVERIFY(!item("Processing")->isEnabled());
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\u23F3"));

        for (const char* window : {"Settings", "About", "Quit"}) {
            item(window)->trigger();
        }
        QCOMPARE(opened, (QStringList{"settings", "about", "quit"}));
    }
};

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
