#include "core/SessionController.h"
#include "fakes/NullStages.h"
#include "fakes/TestAppState.h"
#include "platform/linux/GrantedMicrophonePermission.h"
#include "ui/MenuModel.h"
#include "ui/TrayMenu.h"

#include <QAction>
#include <QTest>

namespace {

constexpr qsizetype recordingRow = 14;
constexpr qsizetype autoPasteRow = 16;

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

MenuItem item(const QString& title, MenuCommand command, bool checked = false, bool enabled = true) {
    return {false, title, checked, enabled, command, DictationMode::smart};
}

QList<MenuItem> expectedItems(RecordingState state, DictationMode selected, bool autoPaste) {
    QList<MenuItem> items;
    for (DictationMode mode : allModes())
        items << MenuItem{false, rawValue(mode), mode == selected, true, MenuCommand::selectMode, mode};
    const MenuItem separator{true, {}, false, true, MenuCommand::none, DictationMode::smart};
    const MenuItem recordingItems[] = {
        item(QStringLiteral("Start Recording  \u2303F5"), MenuCommand::startDictation),
        item(QStringLiteral("Stop & Process  \u2303F5"), MenuCommand::stopDictation),
        item(QStringLiteral("Processing\u2026"), MenuCommand::none, false, false)};
    items << separator << recordingItems[int(state)] << separator
          << item(QStringLiteral("Auto-Paste on Finish"), MenuCommand::toggleAutoPaste, autoPaste)
          << separator << item(QStringLiteral("Settings\u2026"), MenuCommand::openSettings) << separator
          << item(QStringLiteral("About Murmuro"), MenuCommand::showAbout) << separator
          << item(QStringLiteral("Quit"), MenuCommand::quit);
    return items;
}

} // namespace

class TestMenu : public QObject {
    Q_OBJECT

private slots:
    void menuAndLabelFollowTheState() {
        for (RecordingState state :
             {RecordingState::idle, RecordingState::recording, RecordingState::processing}) {
            for (DictationMode mode : allModes()) {
                // Every mode's title ends in a space and its emoji, some with a variation selector.
                const QString emoji = rawValue(mode).section(QLatin1Char(' '), -1);
                const QString label = state == RecordingState::idle        ? emoji
                                      : state == RecordingState::recording ? QStringLiteral("\U0001F534")
                                                                           : QStringLiteral("\u23F3");
                for (bool autoPaste : {false, true}) {
                    const MenuDescription menu =
                        describeMenu(state, mode, autoPaste, QStringLiteral("\u2303F5"));
                    QCOMPARE(menu.statusLabel, label);
                    const QList<MenuItem> expected = expectedItems(state, mode, autoPaste);
                    QCOMPARE(menu.items.size(), expected.size());
                    for (qsizetype row = 0; row < expected.size(); ++row)
                        QVERIFY2(menu.items[row] == expected[row], qPrintable(QString::number(row)));
                }
            }
        }
        QCOMPARE(statusLabel(RecordingState::idle, DictationMode::zero), QStringLiteral("\u2699\uFE0F"));
        QCOMPARE(describeMenu(RecordingState::idle, DictationMode::smart, true, {}).items[recordingRow].title,
                 QStringLiteral("Start Recording  "));
    }

    void trayMenuActsOnTheStateAndRedraws() {
        TestAppState app;
        AppState& state = app.state;
        SteadyClock clock;
        GrantedMicrophonePermission microphone;
        NullWorkspace workspace;
        InstantRecorder recorder(state);
        NullTranscriber transcriber;
        NullTranscriptRewriter rewriter;
        NullTextDeliverer deliverer;
        SessionController controller(state, clock, microphone, workspace,
                                     SessionController::Stages{recorder, transcriber, rewriter, deliverer});
        QStringList opened;
        TrayMenu tray(state, controller,
                      TrayMenu::WindowActions{[&] { opened << "settings"; }, [&] { opened << "about"; },
                                              [&] { opened << "quit"; }});
        const QList<QAction*> actions = tray.menu().actions();
        QCOMPARE(actions.size(), 23);
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\u2728"));

        actions[3]->trigger();
        QCOMPARE(state.selectedMode(), DictationMode::hypeMan);
        QVERIFY(!actions[0]->isChecked() && actions[3]->isChecked());
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\U0001F680"));
        actions[autoPasteRow]->trigger();
        QVERIFY(!state.autoPaste() && !actions[autoPasteRow]->isChecked());
        state.setHotkeyString(QStringLiteral("\u2303K"));
        QCOMPARE(actions[recordingRow]->text(), QStringLiteral("Start Recording  \u2303K"));

        // The menu starts a dictation directly, not through the hotkey's repeat guard.
        state.lastHotkeyTime = clock.now();
        actions[recordingRow]->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(recorder.starts, 1, 10000);
        QCOMPARE(actions[recordingRow]->text(), QStringLiteral("Stop & Process  \u2303K"));
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\U0001F534"));
        actions[recordingRow]->trigger();
        QCOMPARE(state.recordingState(), RecordingState::processing);
        QVERIFY(!actions[recordingRow]->isEnabled());
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\u23F3"));

        for (qsizetype row : {18, 20, 22}) // Settings, About, Quit
            actions[row]->trigger();
        QCOMPARE(opened, (QStringList{"settings", "about", "quit"}));
    }
};

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
