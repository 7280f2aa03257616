#include "core/Startup.h"
#include "fakes/FakeHotkeyService.h"
#include "fakes/NullStages.h"
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
        QTest::newRow("all four with keypad and function") << quint64(0xBE0000) << quint32(0x1B00);
    }
    void carbonModifiers() {
        QFETCH(quint64, stored);
        QTEST(::carbonModifiers(stored), "registered");
    }

    void registrationFollowsTheStoredCombinationAndPressesToggle() {
        FakeHotkeyService service; // outlives the registration that AppState holds
        TestAppState app;
        app.settings.setValue(QStringLiteral("hotkeyKeyCode"), 49);
        app.settings.setValue(QStringLiteral("hotkeyModifiers"), 0xC0000);
        int toggles = 0;
        GlobalHotkey hotkey(app.state, service, [&] { ++toggles; });
        NullSpeechRecognition speech;
        NullTextDeliverer deliverer;
        startUp(app.state, hotkey, speech, deliverer);
        QCOMPARE(service.active.size(), 1);
        QCOMPARE(service.active.first().keyCode, 49u);
        QCOMPARE(service.active.first().modifiers, 0x1800u);

        service.press();
        QCOMPARE(toggles, 0); // scheduled, not run inside the platform's callback
        QCoreApplication::processEvents();
        QCOMPARE(toggles, 1);
        app.state.setIsRecordingShortcut(true);
        service.press();
        QCoreApplication::processEvents();
        QCOMPARE(toggles, 1);

        // The recorder assigns the key first: it is briefly registered with the old modifiers.
        const qsizetype before = service.requests.size();
        app.state.setHotkeyKeyCode(VirtualKey::k);
        app.state.setHotkeyModifiers(0x40000);
        QCOMPARE(service.requests.size(), before + 2);
        QCOMPARE(service.requests[before].keyCode, quint32(VirtualKey::k));
        QCOMPARE(service.requests[before].modifiers, 0x1800u);
        QCOMPARE(service.active.size(), 1);
        QCOMPARE(service.active.first().modifiers, 0x1000u);
        // The old registration is always given back before the next is asked for.
        QVERIFY(std::ranges::all_of(service.activeAtRequest, [](qsizetype held) { return held == 0; }));

        service.refusing = true;
        hotkey.registerHotkey();
        QVERIFY(!app.state.eventHotKeyRef);
        QVERIFY(service.active.isEmpty());
    }

    void recordableAndGrabbableKeysAreTheSame() {
        QSet<quint16> recordable;
        for (const QtKeyMapping& row : qtKeyMappings()) {
            const auto key = virtualKeyOfQtKey(row.qtKey, row.keypad);
            QVERIFY2(key && key->keyCode == row.keyCode && !key->name.isEmpty(),
                     qPrintable(QString::number(row.qtKey, 16)));
            recordable.insert(row.keyCode);
        }
        QSet<quint16> grabbable;
        QSet<quint32> keysyms;
        for (const X11HotkeyKeysym& row : x11HotkeyKeysyms()) {
            QVERIFY2(!keysyms.contains(row.keysym), qPrintable(QString::number(row.keysym, 16)));
            grabbable.insert(row.keyCode);
            keysyms.insert(row.keysym);
            QCOMPARE(x11HotkeyKeysymOf(row.keyCode), std::optional<quint32>(row.keysym));
        }
        QCOMPARE(recordable, grabbable);
        QVERIFY(!x11HotkeyKeysymOf(0x0A)); // the ISO key left of 1 has no US place
        for (int unrecordable : {Qt::Key_Shift, Qt::Key_Meta, Qt::Key_Udiaeresis, Qt::Key_VolumeUp})
            QVERIFY(!virtualKeyOfQtKey(unrecordable, false));
    }

    void keyNamesAndKeyFlags() {
        const std::tuple<int, bool, quint16, QString, quint64> cases[] = {
            {Qt::Key_Exclam, false, VirtualKey::digit1, "1", 0}, // named as without Shift
            {Qt::Key_Enter, true, VirtualKey::keypadEnter, "\u21A9", 0x200000},
            {Qt::Key_Backtab, false, VirtualKey::tab, "\u21E5", 0},
            {Qt::Key_Space, false, VirtualKey::space, "Space", 0},
            {Qt::Key_Backspace, false, VirtualKey::deleteKey, "\u232B", 0},
            {Qt::Key_Home, true, VirtualKey::keypad7, "7", 0x200000}, // keypad 7 without Num Lock
            {Qt::Key_F13, false, VirtualKey::f13, "F13", 0x800000},
            {Qt::Key_Up, false, VirtualKey::upArrow, "\u2191", 0xA00000},
        };
        for (const auto& [qtKey, keypad, keyCode, name, flags] : cases) {
            const auto key = virtualKeyOfQtKey(qtKey, keypad);
            QVERIFY2(key, qPrintable(name));
            QCOMPARE(key->keyCode, keyCode);
            QCOMPARE(key->name, name);
            QCOMPARE(key->keyFlags, flags);
        }
    }
};

QTEST_GUILESS_MAIN(TestHotkey)
#include "tst_hotkey.moc"
