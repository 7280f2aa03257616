#include "core/SpeechEngineSelection.h"
#include "fakes/FakeStages.h"
#include "hotkey/ShortcutRecorderView.h"
#include "hotkey/VirtualKeyCodes.h"
#include "overlay/OverlayView.h"
#include "overlay/OverlayWindowController.h"
#include "speech/whisper/ModelDownloader.h"
#include "ui/SettingsWindow.h"
#include "ui/TrayMenu.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

// The tray menu, the Settings window and the overlay, each following AppState. The overlay's window is
// shaped and stacked by the X server, so the suite runs on the test desktop's display.
constexpr int patience = 10000;

class TestUi : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> m_app;
    FakeAudioCapture m_audio;
    std::unique_ptr<SpeechEngineSelection> m_speech;
    std::unique_ptr<ModelDownloader> m_downloader;
    std::unique_ptr<DictationHistory> m_history;
    std::unique_ptr<SettingsWindow> m_window;

    template <class Widget>
    Widget* child(const char* name) {
        return m_window->findChild<Widget*>(QLatin1String(name));
    }
    QString stored(const char* key) { return m_app->settings.value(key).toString(); }
    ShortcutRecorderView* shortcut() { return child<ShortcutRecorderView>("shortcut"); }
    void click() { QTest::mouseClick(shortcut(), Qt::LeftButton); }
    void expectUnchangedAndNotListening() {
        QVERIFY(!m_app->state.isRecordingShortcut());
        QCOMPARE(m_app->state.hotkeyKeyCode(), AppState::defaultHotkeyKeyCode);
        QCOMPARE(shortcut()->text(), AppState::defaultHotkeyString);
        QVERIFY(!m_app->settings.contains("hotkeyKeyCode"));
    }

private slots:
    void init() {
        m_window.reset();
        m_app = std::make_unique<TestAppState>();
        m_audio.devices = {{QStringLiteral("usb-1"), QStringLiteral("USB Headset")},
                           {QStringLiteral("hda-0"), QStringLiteral("Built-in Microphone")}};
        // A models folder of the test's own, empty.
        qputenv("XDG_DATA_HOME", m_app->directory.path().toUtf8());
        m_speech = std::make_unique<SpeechEngineSelection>(m_app->state, QString(), QString());
        m_downloader = std::make_unique<ModelDownloader>(whisperModelsDirectory(), QString());
        m_history =
            std::make_unique<DictationHistory>(m_app->directory.filePath(QStringLiteral("history.jsonl")));
        m_window =
            std::make_unique<SettingsWindow>(m_app->state, m_audio, *m_speech, *m_downloader, *m_history);
        m_window->present();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void bannedWordsAreKeptButGreyedOutWithTheFilterOff() {
        auto* bannedWords = child<QPlainTextEdit>("bannedWords");
        bannedWords->setPlainText(QStringLiteral("delve, tapestry"));
        QCOMPARE(stored("bannedWords"), QStringLiteral("delve, tapestry"));
        child<QCheckBox>("bannedWordsEnabled")->click();
        QCOMPARE(stored("isBannedWordsEnabled"), QStringLiteral("false"));
        QVERIFY(!bannedWords->isEnabled());
        m_app->state.setIsBannedWordsEnabled(true);
        QVERIFY(bannedWords->isEnabled());

        // The desktop's word on the shortcut shows under the hotkey only where there is one (Wayland).
        auto* note = child<QLabel>("hotkeyNote");
        QVERIFY(!note->isVisible());
        m_app->state.setHotkeyNote(QStringLiteral("The desktop binds the shortcut to Super+R."));
        QVERIFY(note->isVisible() && note->text() == m_app->state.hotkeyNote());
    }

    void historyIsTurnedOffAndCleared() {
        m_history->add({QDateTime::currentDateTime(), DictationMode::smart, "said", QString("written"), {}});
        child<QCheckBox>("historyEnabled")->click();
        QCOMPARE(stored("historyEnabled"), QStringLiteral("false"));
        child<QPushButton>("clearHistory")->click();
        QVERIFY(m_history->records().isEmpty());
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
        for (const auto& [title, id] : {std::pair{"Built-in Microphone", "hda-0"}, {"System Default", ""}}) {
            microphone->setCurrentIndex(microphone->findText(title));
            emit microphone->activated(microphone->currentIndex()); // as a user's choice
            QCOMPARE(stored("selectedMicrophoneID"), QString(id));
        }

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

    void speechSectionStoresTheEngineAndModel() {
        auto* engine = child<QComboBox>("speechEngine");
        // No choice made and no model: pocketsphinx, with the hint that a Whisper model does better.
        QCOMPARE(engine->currentData().toString(), QStringLiteral("pocketsphinx"));
        QVERIFY(child<QLabel>("speechHint")->isVisible());
        auto* vocabulary = child<QPlainTextEdit>("vocabulary");
        auto* fit = child<QLabel>("vocabularyFit");
        vocabulary->setPlainText(QStringLiteral("Okonkwo\nKubernetes"));
        QCOMPARE(stored("vocabulary"), QStringLiteral("Okonkwo\nKubernetes"));
        QVERIFY(fit->text().startsWith("pocketsphinx ignores"));
        QCOMPARE(child<QLabel>("state-base.en")->text(), QStringLiteral("not downloaded"));
        QVERIFY(child<QPushButton>("download-base.en")->isEnabled());
        QVERIFY(!child<QPushButton>("cancel-base.en")->isEnabled());

        child<QRadioButton>("model-small.en")->click();
        QCOMPARE(stored("whisperModel"), QStringLiteral("small.en"));
        engine->setCurrentIndex(engine->findData("whisper"));
        emit engine->activated(engine->currentIndex());
        QCOMPARE(stored("speechEngine"), QStringLiteral("whisper"));
        // Chosen but not there: the cause is shown, and the dictations fail with it.
        QCOMPARE(m_speech->plan().engine, SpeechEnginePlan::Engine::whisper);
        QVERIFY(child<QLabel>("whisperProblem")->isVisible());
        QVERIFY(child<QLabel>("whisperProblem")->text().contains("ggml-small.en.bin"));
        QVERIFY(!child<QLabel>("speechHint")->isVisible());
        // Whisper takes the vocabulary as far as its prompt holds it.
        QCOMPARE(fit->text(), QStringLiteral("Whisper is told these words and spells them as written."));
        vocabulary->setPlainText(QStringLiteral("Okonkwo Nakamura\n").repeated(100));
        QVERIFY2(fit->text().contains(" of 100 entries fit"), qPrintable(fit->text()));
    }

    void recorderTakesTheNextKey() {
        QStringList assigned;
        connect(&m_app->state, &AppState::hotkeyKeyCodeChanged, this, [&] { assigned << "keyCode"; });
        connect(&m_app->state, &AppState::hotkeyModifiersChanged, this, [&] { assigned << "modifiers"; });
        connect(&m_app->state, &AppState::hotkeyStringChanged, this, [&] { assigned << "string"; });
        using Qt::KeypadModifier, Qt::ShiftModifier, Qt::MetaModifier;
        const struct {
            int key;
            Qt::KeyboardModifiers modifiers;
            quint32 lock; // the native Lock bit
            quint16 keyCode;
            quint64 flags;
            QString text;
        } keys[] = {
            {Qt::Key_R, MetaModifier | ShiftModifier, 0, VirtualKey::r, 0x120000, "\u21E7\u2318R"},
            {Qt::Key_K, Qt::ControlModifier | Qt::AltModifier | ShiftModifier | MetaModifier, 0,
             VirtualKey::k, 0x1E0000, "\u2303\u2325\u21E7\u2318K"},
            {Qt::Key_X, MetaModifier, 0x2, VirtualKey::x, 0x110000, "\u2318X"}, // Caps Lock kept, not shown
            {Qt::Key_Exclam, ShiftModifier, 0, VirtualKey::digit1, 0x20000, "\u21E71"}, // named without Shift
            {Qt::Key_5, KeypadModifier, 0, VirtualKey::keypad5, 0x200000, "5"},
            {Qt::Key_Home, KeypadModifier, 0, VirtualKey::keypad7, 0x200000, "7"}, // Num Lock off
            {Qt::Key_Up, {}, 0, VirtualKey::upArrow, 0xA00000, "\u2191"},
        };
        for (const auto& key : keys) {
            click();
            QCOMPARE(shortcut()->text(), QStringLiteral("Listening... (Esc to cancel)"));
            QKeyEvent press(QEvent::KeyPress, key.key, key.modifiers, 0, 0, key.lock);
            QCoreApplication::sendEvent(shortcut(), &press);
            QCOMPARE(m_app->state.hotkeyKeyCode(), key.keyCode);
            QCOMPARE(m_app->state.hotkeyModifiers(), key.flags);
            QCOMPARE(m_app->settings.value("hotkeyString").toString(), key.text);
            QCOMPARE(shortcut()->text(), key.text);
        }
        QCOMPARE(assigned.first(3), (QStringList{"keyCode", "modifiers", "string"}));
        // No longer listening: the next key is not recorded.
        QVERIFY(!m_app->state.isRecordingShortcut());
        QTest::keyClick(shortcut(), Qt::Key_Z);
        QCOMPARE(m_app->state.hotkeyString(), QStringLiteral("\u2191"));
    }

    void escapeASecondClickAndHidingCancel() {
        click();
        // A modifier alone or a key without a name passes on; the control keeps listening.
        QTest::keyClick(shortcut(), Qt::Key_Shift, Qt::ShiftModifier);
        QTest::keyClick(shortcut(), Qt::Key_Udiaeresis);
        QVERIFY(m_app->state.isRecordingShortcut());
        QTest::keyClick(shortcut(), Qt::Key_Escape, Qt::ShiftModifier);
        expectUnchangedAndNotListening();
        click();
        click();
        expectUnchangedAndNotListening();
        click();
        m_window->hide();
        QVERIFY(!m_app->state.isRecordingShortcut());
        m_window->present();
        QTest::keyClick(shortcut(), Qt::Key_B);
        expectUnchangedAndNotListening();
    }

    void trayMenuActsOnTheStateAndRedraws() {
        FakeDictation d;
        QStringList opened;
        TrayMenu tray(d.state, *d.controller, TrayMenu::Recent{d.history, d.desktop},
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

        // Recent: the last ten dictations, one line each; choosing one copies its final text, else its
        // transcript.
        const QString tail = QStringLiteral("Rewritten & then a long tail that goes on and on past the end");
        for (int minute = 1; minute <= 12; ++minute) {
            const bool rewritten = minute != 12;
            d.history.add({QDateTime(QDate(2026, 3, 1), QTime(9, minute)), DictationMode::smart, "said",
                           rewritten ? std::optional(tail) : std::nullopt, rewritten ? "" : "no answer."});
        }
        QMenu* recent = item("Recent")->menu();
        emit recent->aboutToShow();
        QCOMPARE(recent->actions().size(), TrayMenu::recentEntries);
        QCOMPARE(recent->actions()[0]->text(), QStringLiteral("09:12  \u26A0 said"));
        const QString shortened = recent->actions()[1]->text();
        QVERIFY(shortened.startsWith("09:11  Rewritten && then") && shortened.endsWith(u'\u2026'));
        recent->actions()[0]->trigger();
        recent->actions()[1]->trigger();
        QCOMPARE(d.desktop.journal, (QStringList{"clear clipboard", "set clipboard said", "clear clipboard",
                                                 "set clipboard " + tail}));
        d.state.setHistoryEnabled(false);
        QVERIFY(!item("Recent")->isVisible());
    }

    // Nobody shows or hides the overlay: it follows the dictation's state from the moment AppState makes it.
    void followsTheDictationAndThePointer() {
        QPoint pointer(300, 200);
        OverlayWindowController* overlay = nullptr;
        TestAppState app([&](AppState& state) {
            auto made = std::make_unique<OverlayWindowController>(state, [&] { return pointer; });
            overlay = made.get();
            return made;
        });
        app.state.setVolumeLevel(0.5f);
        app.state.setRecordingState(RecordingState::recording);
        QVERIFY(overlay && overlay->currentState() == OverlayState::recording);
        QVERIFY(overlay->window().windowFlags().testFlags(Qt::WindowTransparentForInput |
                                                          Qt::WindowDoesNotAcceptFocus));
        QTRY_VERIFY_WITH_TIMEOUT(overlay->window().isVisible(), patience);
        QCOMPARE(overlay->window().pos(), QPoint(316, 240));
        QCOMPARE(overlay->view().frame(), QStringLiteral("\U0001F534"));
        QTRY_COMPARE_WITH_TIMEOUT(overlay->view().barWidth(), 30.0, patience);
        pointer = QPoint(900, 10);
        QTRY_COMPARE_WITH_TIMEOUT(overlay->window().pos(), QPoint(916, 50), patience);

        // Processing straight after recording starts its animation from the beginning.
        QTRY_VERIFY_WITH_TIMEOUT(overlay->tick() >= 8, patience);
        app.state.setRecordingState(RecordingState::processing);
        QVERIFY(overlay->currentState() == OverlayState::processing && overlay->tick() == 0);
        QTRY_COMPARE_WITH_TIMEOUT(overlay->view().frame(), QStringLiteral("\u23F3"), patience);

        app.state.setRecordingState(RecordingState::idle);
        QCOMPARE(overlay->currentState(), OverlayState::hidden);
        QVERIFY(!overlay->isTicking() && !overlay->window().isVisible());
        QTest::qWait(300);
        QVERIFY(!overlay->window().isVisible());
    }

    // Where the desktop floats the overlay itself (Wayland), the frames go to it and the window stays hidden.
    void onADesktopSurfaceTheFramesGoThere() {
        FakeOverlaySurface surface;
        OverlayWindowController* overlay = nullptr;
        TestAppState app([&](AppState& state) {
            auto made = std::make_unique<OverlayWindowController>(state, nullptr, &surface);
            overlay = made.get();
            return made;
        });
        app.state.setRecordingState(RecordingState::recording);
        QTRY_VERIFY_WITH_TIMEOUT(surface.frames >= 2, patience);
        QCOMPARE(surface.lastFrame.size(), QSize(140, 60));
        QCOMPARE(surface.lastFrame.pixelColor(0, 0).alpha(), 0);
        QVERIFY(surface.lastFrame.pixelColor(70, 30).alpha() > 0);
        QVERIFY(!overlay->window().isVisible());
        app.state.setRecordingState(RecordingState::idle);
        QCOMPARE(surface.hides, 1);
        const int frames = surface.frames;
        QTest::qWait(300);
        QCOMPARE(surface.frames, frames);
    }
};

QTEST_MAIN(TestUi)
#include "tst_ui.moc"
