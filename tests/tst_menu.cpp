#include "core/AppState.h"
#include "fakes/NullStages.h"
#include "core/SessionController.h"
#include "platform/linux/GrantedMicrophonePermission.h"
#include "platform/null/NullPlatform.h"
#include "ui/MenuModel.h"
#include "ui/TrayMenu.h"

#include <QAction>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QList<RecordingState> allStates = {RecordingState::idle, RecordingState::recording,
                                         RecordingState::processing};

// Rows after the thirteen modes.
constexpr qsizetype recordingRow = 14;
constexpr qsizetype autoPasteRow = 16;
constexpr qsizetype settingsRow = 18;
constexpr qsizetype aboutRow = 20;
constexpr qsizetype quitRow = 22;

/// Stands in for the microphone: a started recording is simply in progress.
class InstantRecorder : public Recorder {
public:
    explicit InstantRecorder(AppState& state)
        : m_state(state) {}
    void startRecording(RecordingDelegate&) override {
        ++starts;
        m_state.setRecordingState(RecordingState::recording);
    }
    int starts = 0;

private:
    AppState& m_state;
};

} // namespace

class TestMenu : public QObject {
    Q_OBJECT

private slots:
    void labelShowsModeEmojiWhileIdleAndStateOtherwise() {
        for (DictationMode mode : allModes()) {
            // Every label ends in a space and its emoji, some with a variation selector.
            const QString emoji = rawValue(mode).section(QLatin1Char(' '), -1);
            QCOMPARE(statusLabel(RecordingState::idle, mode), emoji);
            QCOMPARE(statusLabel(RecordingState::recording, mode), QStringLiteral("\U0001F534"));
            QCOMPARE(statusLabel(RecordingState::processing, mode), QStringLiteral("\u23F3"));
        }
        QCOMPARE(statusLabel(RecordingState::idle, DictationMode::zero), QStringLiteral("\u2699\uFE0F"));
    }

    void fixedRowsAreTheSameInEveryState() {
        for (RecordingState state : allStates) {
            for (DictationMode mode : allModes()) {
                for (bool autoPaste : {false, true}) {
                    const MenuDescription menu = describeMenu(state, mode, autoPaste, QStringLiteral("⌘⇧R"));
                    QCOMPARE(menu.items.size(), 23);
                    QCOMPARE(menu.statusLabel, statusLabel(state, mode));

                    int checkedModes = 0;
                    for (qsizetype row = 0; row < 13; ++row) {
                        const MenuItem& item = menu.items[row];
                        QCOMPARE(item.title, rawValue(allModes()[row]));
                        QCOMPARE(item.command, MenuCommand::selectMode);
                        QCOMPARE(item.mode, allModes()[row]);
                        QVERIFY(item.enabled);
                        QCOMPARE(item.checked, item.mode == mode);
                        checkedModes += item.checked ? 1 : 0;
                    }
                    QCOMPARE(checkedModes, 1);

                    for (qsizetype row : {13, 15, 17, 19, 21}) {
                        QVERIFY(menu.items[row].separator);
                    }
                    QCOMPARE(menu.items[autoPasteRow].title, QStringLiteral("Auto-Paste on Finish"));
                    QCOMPARE(menu.items[autoPasteRow].checked, autoPaste);
                    QCOMPARE(menu.items[autoPasteRow].command, MenuCommand::toggleAutoPaste);
                    QCOMPARE(menu.items[settingsRow].title, QStringLiteral("Settings\u2026"));
                    QCOMPARE(menu.items[settingsRow].command, MenuCommand::openSettings);
                    QCOMPARE(menu.items[aboutRow].title, QStringLiteral("About Murmuro"));
                    QCOMPARE(menu.items[aboutRow].command, MenuCommand::showAbout);
                    QCOMPARE(menu.items[quitRow].title, QStringLiteral("Quit"));
                    QCOMPARE(menu.items[quitRow].command, MenuCommand::quit);
                    QVERIFY(menu.items[quitRow].enabled);
                }
            }
        }
    }

    void recordingRowFollowsTheState_data() {
        QTest::addColumn<RecordingState>("state");
        QTest::addColumn<QString>("hotkey");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<MenuCommand>("command");
        QTest::newRow("idle") << RecordingState::idle << QStringLiteral("⌘⇧R")
                              << QStringLiteral("Start Recording  ⌘⇧R") << true
                              << MenuCommand::startDictation;
        QTest::newRow("idle, no hotkey")
            << RecordingState::idle << QString() << QStringLiteral("Start Recording  ") << true
            << MenuCommand::startDictation;
        QTest::newRow("recording") << RecordingState::recording << QStringLiteral("⌃F5")
                                   << QStringLiteral("Stop & Process  ⌃F5") << true
                                   << MenuCommand::stopDictation;
        QTest::newRow("processing") << RecordingState::processing << QStringLiteral("⌘⇧R")
                                    << QStringLiteral("Processing\u2026") << false << MenuCommand::none;
    }

    void recordingRowFollowsTheState() {
        QFETCH(RecordingState, state);
        QFETCH(QString, hotkey);
        const MenuItem item = describeMenu(state, DictationMode::smart, true, hotkey).items[recordingRow];
        QTEST(item.title, "title");
        QTEST(item.enabled, "enabled");
        QTEST(item.command, "command");
        QVERIFY(!item.checked);
    }

    void trayMenuActsOnTheStateAndRedraws() {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        AppState state(settings, QStringLiteral("en_US"),
                       [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
        SteadyClock clock;
        GrantedMicrophonePermission microphone;
        NullWorkspace workspace;
        InstantRecorder recorder(state);
        NullTranscriber transcriber;
        NullTranscriptRewriter rewriter;
        NullTextDeliverer deliverer;
        SessionController controller(state, clock, microphone, workspace,
                                     SessionController::Stages{recorder, transcriber, rewriter, deliverer});
        int settingsOpened = 0;
        int aboutShown = 0;
        int quits = 0;
        TrayMenu tray(
            state, controller,
            TrayMenu::WindowActions{[&] { ++settingsOpened; }, [&] { ++aboutShown; }, [&] { ++quits; }});
        const QList<QAction*> actions = tray.menu().actions();
        QCOMPARE(actions.size(), 23);
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\u2728"));
        QVERIFY(actions[0]->isChecked());

        actions[3]->trigger();
        QCOMPARE(state.selectedMode(), DictationMode::hypeMan);
        QVERIFY(!actions[0]->isChecked());
        QVERIFY(actions[3]->isChecked());
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\U0001F680"));

        actions[autoPasteRow]->trigger();
        QVERIFY(!state.autoPaste());
        QVERIFY(!actions[autoPasteRow]->isChecked());

        state.setHotkeyString(QStringLiteral("⌃K"));
        QCOMPARE(actions[recordingRow]->text(), QStringLiteral("Start Recording  ⌃K"));

        // The menu starts a dictation directly, not through the hotkey's repeat guard.
        state.lastHotkeyTime = clock.now();
        actions[recordingRow]->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(recorder.starts, 1, 10000);
        QCOMPARE(actions[recordingRow]->text(), QStringLiteral("Stop & Process  ⌃K"));
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\U0001F534"));

        actions[recordingRow]->trigger();
        QCOMPARE(state.recordingState(), RecordingState::processing);
        QCOMPARE(actions[recordingRow]->text(), QStringLiteral("Processing\u2026"));
        QVERIFY(!actions[recordingRow]->isEnabled());
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\u23F3"));

        actions[settingsRow]->trigger();
        actions[aboutRow]->trigger();
        actions[quitRow]->trigger();
        QCOMPARE(settingsOpened, 1);
        QCOMPARE(aboutShown, 1);
        QCOMPARE(quits, 1);
    }
};

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
