#include "fakes/FakePortal.h"
#include "fakes/FakeStages.h"
#include "hotkey/GlobalHotkey.h"
#include "platform/wayland/PortalGlobalShortcuts.h"
#include "platform/wayland/PortalRemoteDesktopPaste.h"
#include "platform/wayland/WaylandKeyboardEvents.h"

#include <QTest>

// The portal paths against a fake portal on the test session's private bus.
class TestPortal : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // Never the user's own bus, where a real portal would answer with real dialogs.
        const QString privateBus =
            QStringLiteral("unix:path=") + qEnvironmentVariable("XDG_RUNTIME_DIR") + "/bus";
        if (qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS") != privateBus) {
            QSKIP("needs the private session bus of scripts/with-test-wayland.sh");
        }
    }

    // Activated is the press and Deactivated the release: in toggle mode two presses make one dictation,
    // in hold mode one press and its release do.
    void shortcutIsBoundAndDrivesTheDictation_data() {
        QTest::addColumn<AppState::HotkeyMode>("mode");
        QTest::addColumn<QList<bool>>("presses");
        QTest::newRow("toggle") << AppState::HotkeyMode::toggle << QList<bool>{true, false, true, false};
        QTest::newRow("hold") << AppState::HotkeyMode::hold << QList<bool>{true, false};
    }
    void shortcutIsBoundAndDrivesTheDictation() {
        QFETCH(AppState::HotkeyMode, mode);
        QFETCH(QList<bool>, presses);
        FakePortal portal;
        PortalGlobalShortcuts service(QDBusConnection::sessionBus());
        FakeDictation dictation;
        SessionController& controller = *dictation.controller;
        GlobalHotkey hotkey(dictation.state, service, dictation.desktop,
                            {[&] { controller.toggleRecording(); }, [&] { controller.startHoldToTalk(); },
                             [&] { controller.endHoldToTalk(); }});
        dictation.state.setHotkeyMode(mode);
        hotkey.installHotkeyHandler();
        hotkey.registerHotkey();
        QTRY_COMPARE(portal.journal.count(QStringLiteral("bind toggle-dictation SHIFT+LOGO+r")), 1);
        QTRY_COMPARE(dictation.state.hotkeyNote(),
                     QStringLiteral("The desktop binds the shortcut to Press Super+Shift+R."));

        for (const bool pressed : presses) {
            dictation.clock.advance(std::chrono::seconds(1));
            portal.activate(QStringLiteral("another-shortcut"), pressed);
            portal.activate(QStringLiteral("toggle-dictation"), pressed);
            QTRY_COMPARE(service.isHeld(), pressed);
            QTest::qWait(50);
        }
        QTRY_COMPARE(dictation.recorder.stops, 1);
        QCOMPARE(dictation.recorder.starts, 1);
        QCOMPARE(dictation.state.recordingState(), RecordingState::processing);

        dictation.state.setIsRecordingShortcut(true);
        portal.activate(QStringLiteral("toggle-dictation"), true);
        QTRY_VERIFY(service.isHeld());
        QTest::qWait(100);
        QCOMPARE(dictation.recorder.starts + dictation.recorder.stops, 2);

        // A new combination is a new session; the old one is given back.
        dictation.state.setHotkeyModifiers(0x40000); // Control only
        hotkey.registerHotkey();
        QTRY_COMPARE(portal.journal.count(QStringLiteral("bind toggle-dictation CTRL+r")), 1);
        QCOMPARE(portal.journal.count(QStringLiteral("close")), 1);
        QCOMPARE(portal.journal.count(QStringLiteral("create GlobalShortcuts")), 2);
    }

    void withoutThePortalSettingsIsTold() {
        PortalGlobalShortcuts service(QDBusConnection::sessionBus());
        TestAppState app;
        FakeDeliveryServices desktop;
        GlobalHotkey hotkey(app.state, service, desktop, {});
        hotkey.installHotkeyHandler();
        hotkey.registerHotkey();
        QTRY_COMPARE(app.state.hotkeyNote(),
                     QStringLiteral("This desktop has no global shortcut service: bind a "
                                    "key to \"murmuro --toggle\" in its keyboard settings."));
    }

    void pasteIsOneCtrlVThroughRemoteDesktop_data() {
        QTest::addColumn<uint>("startResponse");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("told");
        const QStringList ctrlV = {"key 29 1", "key 47 1", "key 47 0", "key 29 0"};
        QTest::newRow("granted") << 0u << (ctrlV + ctrlV) << QStringList();
        QTest::newRow("refused") << 1u << QStringList()
                                 << QStringList{
                                        QStringLiteral("Murmuro cannot paste in this session: the text is "
                                                       "on the clipboard, paste it with Ctrl+V.")};
    }
    void pasteIsOneCtrlVThroughRemoteDesktop() {
        QFETCH(uint, startResponse);
        QFETCH(QStringList, keys);
        FakePortal portal;
        portal.startResponse = startResponse;
        std::vector<std::unique_ptr<PasteMethod>> methods;
        methods.push_back(std::make_unique<PortalRemoteDesktopPaste>(QDBusConnection::sessionBus()));
        QStringList told;
        WaylandKeyboardEvents keyboard(
            std::move(methods),
            {[] { return false; }, [] { return std::nullopt; }, [&](const QString& line) { told << line; }},
            std::chrono::milliseconds(1000));
        keyboard.postPasteKeystroke();
        QTRY_COMPARE(portal.journal.count(QStringLiteral("start")), 1);
        QTest::qWait(200);
        keyboard.postPasteKeystroke(); // the session, or the refusal, holds for the run
        QTRY_COMPARE(portal.journal.filter(QStringLiteral("key ")), keys);
        QTest::qWait(200);
        QCOMPARE(portal.journal.count(QStringLiteral("start")), 1);
        QTEST(told, "told");
        QCOMPARE(keyboard.canPaste(), startResponse == 0);
    }
};

QTEST_MAIN(TestPortal)
#include "tst_portal.moc"
