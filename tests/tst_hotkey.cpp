#include "fakes/NullStages.h"
#include "core/Startup.h"
#include "fakes/FakeHotkeyService.h"
#include "fakes/TestAppState.h"
#include "hotkey/GlobalHotkey.h"
#include "hotkey/QtKeyCodes.h"
#include "platform/VirtualKeyCodes.h"
#include "platform/linux/X11HotkeyKeysyms.h"

#include <QSet>
#include <QTest>

class TestHotkey : public QObject {
    Q_OBJECT

private slots:
    void carbonModifiers_data() {
        QTest::addColumn<quint64>("stored");
        QTest::addColumn<quint32>("registered");
        QTest::newRow("command shift") << quint64(0x120000) << quint32(0x300);
        QTest::newRow("control option") << quint64(0xC0000) << quint32(0x1800);
        QTest::newRow("caps lock is not registered") << quint64(0x110000) << quint32(0x100);
        QTest::newRow("all four with keypad and function bits") << quint64(0xBE0000) << quint32(0x1B00);
        QTest::newRow("none") << quint64(0) << quint32(0);
    }
    void carbonModifiers() {
        QFETCH(quint64, stored);
        QFETCH(quint32, registered);
        QCOMPARE(::carbonModifiers(stored), registered);
    }

    void startUpRegistersTheStoredCombinationOnce() {
        FakeHotkeyService service; // outlives the registration that AppState holds
        TestAppState app;
        app.settings.setValue(QStringLiteral("hotkeyKeyCode"), 49);
        app.settings.setValue(QStringLiteral("hotkeyModifiers"), 0xC0000);
        GlobalHotkey hotkey(app.state, service, [] {});
        NullSpeechRecognition speech;
        NullTextDeliverer deliverer;

        startUp(app.state, hotkey, speech, deliverer);

        QCOMPARE(service.active.size(), 1);
        QCOMPARE(service.active.first().keyCode, 49u);
        QCOMPARE(service.active.first().modifiers, 0x1800u);
        QVERIFY(app.state.eventHotKeyRef);
        QVERIFY(service.handler);
        // The old registration is always given back before the next is asked for.
        QVERIFY(std::ranges::all_of(service.activeAtRequest, [](qsizetype held) { return held == 0; }));
    }

    void changingTheCombinationReplacesTheRegistration() {
        FakeHotkeyService service;
        TestAppState app;
        GlobalHotkey hotkey(app.state, service, [] {});
        hotkey.registerHotkey();
        QObject::connect(&app.state, &AppState::hotkeyKeyCodeChanged, [&] { hotkey.registerHotkey(); });
        QObject::connect(&app.state, &AppState::hotkeyModifiersChanged, [&] { hotkey.registerHotkey(); });

        app.state.setHotkeyKeyCode(VirtualKey::k);
        app.state.setHotkeyModifiers(0x40000);

        QCOMPARE(service.requests.size(), 3);
        QCOMPARE(service.requests[1].keyCode, quint32(VirtualKey::k));
        QCOMPARE(service.requests[1].modifiers, 0x300u);
        QCOMPARE(service.active.size(), 1);
        QCOMPARE(service.active.first().modifiers, 0x1000u);
    }

    void aRefusedCombinationLeavesNoRegistration() {
        FakeHotkeyService service;
        TestAppState app;
        GlobalHotkey hotkey(app.state, service, [] {});
        hotkey.registerHotkey();
        QVERIFY(app.state.eventHotKeyRef);

        service.refusing = true;
        hotkey.registerHotkey();
        QVERIFY(!app.state.eventHotKeyRef);
        QVERIFY(service.active.isEmpty());
    }

    void aPressSchedulesOneToggleUnlessTheRecorderListens() {
        FakeHotkeyService service;
        TestAppState app;
        int toggles = 0;
        GlobalHotkey hotkey(app.state, service, [&] { ++toggles; });
        hotkey.installHotkeyHandler();

        service.press();
        QCOMPARE(toggles, 0); // scheduled, not run inside the platform's callback
        QCoreApplication::processEvents();
        QCOMPARE(toggles, 1);

        app.state.setIsRecordingShortcut(true);
        service.press();
        QCoreApplication::processEvents();
        QCOMPARE(toggles, 1);
    }

    void everyQtKeyHasAVirtualKeyAndAName() {
        for (const QtKeyMapping& row : qtKeyMappings()) {
            const auto key = virtualKeyOfQtKey(row.qtKey, row.keypad);
            QVERIFY2(key, qPrintable(QString::number(row.qtKey, 16)));
            QCOMPARE(key->keyCode, row.keyCode);
            QVERIFY(!key->name.isEmpty());
        }
        // Each Qt key means one virtual key.
        QSet<std::pair<int, bool>> seen;
        for (const QtKeyMapping& row : qtKeyMappings()) {
            QVERIFY(!seen.contains({row.qtKey, row.keypad}));
            seen.insert({row.qtKey, row.keypad});
        }
    }

    void recordableAndGrabbableKeysAreTheSame() {
        QSet<quint16> recordable;
        for (const QtKeyMapping& row : qtKeyMappings())
            recordable.insert(row.keyCode);
        QSet<quint16> grabbable;
        QSet<quint32> keysyms;
        for (const X11HotkeyKeysym& row : x11HotkeyKeysyms()) {
            QVERIFY2(!grabbable.contains(row.keyCode), qPrintable(QString::number(row.keyCode)));
            QVERIFY2(!keysyms.contains(row.keysym), qPrintable(QString::number(row.keysym, 16)));
            grabbable.insert(row.keyCode);
            keysyms.insert(row.keysym);
            QCOMPARE(x11HotkeyKeysymOf(row.keyCode), std::optional<quint32>(row.keysym));
        }
        QCOMPARE(recordable, grabbable);
        QVERIFY(!x11HotkeyKeysymOf(0x0A)); // the ISO key left of 1 has no US place
    }

    void keyNamesAndKeyFlags_data() {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<bool>("keypad");
        QTest::addColumn<quint16>("keyCode");
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint64>("flags");
        QTest::newRow("R") << int(Qt::Key_R) << false << VirtualKey::r << "R" << quint64(0);
        QTest::newRow("shifted 1") << int(Qt::Key_Exclam) << false << VirtualKey::digit1 << "1" << quint64(0);
        QTest::newRow("shifted [") << int(Qt::Key_BraceLeft) << false << VirtualKey::leftBracket << "["
                                   << quint64(0);
        QTest::newRow("return") << int(Qt::Key_Return) << false << VirtualKey::returnKey << "\u21A9"
                                << quint64(0);
        QTest::newRow("keypad enter")
            << int(Qt::Key_Enter) << true << VirtualKey::keypadEnter << "\u21A9" << quint64(0x200000);
        QTest::newRow("tab") << int(Qt::Key_Tab) << false << VirtualKey::tab << "\u21E5" << quint64(0);
        QTest::newRow("backtab") << int(Qt::Key_Backtab) << false << VirtualKey::tab << "\u21E5"
                                 << quint64(0);
        QTest::newRow("space") << int(Qt::Key_Space) << false << VirtualKey::space << "Space" << quint64(0);
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << false << VirtualKey::deleteKey << "\u232B"
                                   << quint64(0);
        QTest::newRow("keypad 7") << int(Qt::Key_7) << true << VirtualKey::keypad7 << "7"
                                  << quint64(0x200000);
        QTest::newRow("keypad 7 without num lock")
            << int(Qt::Key_Home) << true << VirtualKey::keypad7 << "7" << quint64(0x200000);
        QTest::newRow("F13") << int(Qt::Key_F13) << false << VirtualKey::f13 << "F13" << quint64(0x800000);
        QTest::newRow("up") << int(Qt::Key_Up) << false << VirtualKey::upArrow << "\u2191"
                            << quint64(0xA00000);
    }
    void keyNamesAndKeyFlags() {
        QFETCH(int, qtKey);
        QFETCH(bool, keypad);
        const auto key = virtualKeyOfQtKey(qtKey, keypad);
        QVERIFY(key);
        QTEST(key->keyCode, "keyCode");
        QTEST(key->name, "name");
        QTEST(key->keyFlags, "flags");
    }

    void keysWithoutVirtualKeyAreNotRecordable() {
        QVERIFY(!virtualKeyOfQtKey(Qt::Key_Shift, false));
        QVERIFY(!virtualKeyOfQtKey(Qt::Key_Meta, false));
        QVERIFY(!virtualKeyOfQtKey(Qt::Key_Udiaeresis, false));
        QVERIFY(!virtualKeyOfQtKey(Qt::Key_VolumeUp, false));
    }
};

QTEST_GUILESS_MAIN(TestHotkey)
#include "tst_hotkey.moc"
