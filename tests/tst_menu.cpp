#include "Version.h"
#include "fakes/FakeStages.h"
#include "ui/AboutDialog.h"
#include "ui/MenuModel.h"
#include "ui/TrayMenu.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTest>

class TestMenu : public QObject {
    Q_OBJECT

private slots:
    void idleLabelIsTheWholeEmojiOfTheMode() {
        QCOMPARE(statusLabel(RecordingState::idle, DictationMode::zero), QStringLiteral("\u2699\uFE0F"));
        QCOMPARE(statusLabel(RecordingState::idle, DictationMode::hypeMan), QStringLiteral("\U0001F680"));
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
        item(rawValue(DictationMode::hypeMan))->trigger();
        QCOMPARE(d.state.selectedMode(), DictationMode::hypeMan);
        QVERIFY(!item(rawValue(DictationMode::smart))->isChecked());
        QVERIFY(item(rawValue(DictationMode::hypeMan))->isChecked());
        QCOMPARE(tray.trayIcon().toolTip(), QStringLiteral("\U0001F680"));
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

    void aboutShowsTheProjectVersion() {
        AboutDialog dialog;
        QVERIFY(dialog.findChild<QLabel*>("version")->text().startsWith(
            QStringLiteral("Version %1 (").arg(murmuroVersion)));
    }
};

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
