#include "core/Startup.h"
#include "fakes/FakeSpeechRecognition.h"
#include "fakes/FakeStages.h"
#include "hotkey/GlobalHotkey.h"
#include "hotkey/QtKeyCodes.h"
#include "hotkey/ShortcutRecorderView.h"
#include "platform/VirtualKeyCodes.h"
#include "platform/linux/X11HotkeyKeysyms.h"

#include <QKeyEvent>
#include <QSet>
#include <QTest>

class TestHotkey : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> m_app;
    std::unique_ptr<ShortcutRecorderView> m_view;

    void click() { QTest::mouseClick(m_view.get(), Qt::LeftButton); }
    void expectUnchangedAndNotListening() {
        QVERIFY(!m_app->state.isRecordingShortcut());
        QCOMPARE(m_app->state.hotkeyKeyCode(), AppState::defaultHotkeyKeyCode);
        QCOMPARE(m_view->text(), AppState::defaultHotkeyString);
        QVERIFY(!m_app->settings.contains("hotkeyKeyCode"));
    }

private slots:
    void init() {
        m_view.reset();
        m_app = std::make_unique<TestAppState>();
        m_view = std::make_unique<ShortcutRecorderView>(m_app->state);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    void onlyTheFourModifiersAreRegistered() {
        QCOMPARE(carbonModifiers(0x120000), 0x300u);  // command shift
        QCOMPARE(carbonModifiers(0xC0000), 0x1800u);  // control option
        QCOMPARE(carbonModifiers(0xBF0000), 0x1B00u); // all four with caps lock, keypad and function
    }

    void registrationFollowsTheStoredCombinationAndPressesToggle() {
        FakeHotkeyService service; // outlives the registration that AppState holds
        TestAppState app;
        app.settings.setValue(QStringLiteral("hotkeyKeyCode"), 49);
        app.settings.setValue(QStringLiteral("hotkeyModifiers"), 0xC0000);
        int toggles = 0;
        GlobalHotkey hotkey(app.state, service, [&] { ++toggles; });
        FakeSpeechRecognition speech;
        FakeTextDeliverer deliverer;
        startUp(app.state, hotkey, speech, deliverer);
        QCOMPARE(service.held.size(), 1);
        QCOMPARE(service.held.first().keyCode, 49u);
        QCOMPARE(service.held.first().modifiers, 0x1800u);

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
        QCOMPARE(service.requests[before].modifiers, 0x1800u);
        QCOMPARE(service.held.size(), 1);
        QCOMPARE(service.held.first().modifiers, 0x1000u);
        // The old registration is always given back before the next is asked for.
        QVERIFY(std::ranges::all_of(service.heldAtRequest, [](qsizetype held) { return held == 0; }));

        service.refusing = true;
        hotkey.registerHotkey();
        QVERIFY(!app.state.eventHotKeyRef && service.held.isEmpty());
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
    }

    void recorderTakesTheNextKey_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<quint16>("keyCode");
        QTest::addColumn<quint64>("flags");
        QTest::addColumn<QString>("text");
        QTest::newRow("command shift R")
            << int(Qt::Key_R) << (Qt::MetaModifier | Qt::ShiftModifier) << VirtualKey::r << quint64(0x120000)
            << QStringLiteral("\u21E7\u2318R");
        QTest::newRow("all four with K")
            << int(Qt::Key_K)
            << (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier) << VirtualKey::k
            << quint64(0x1E0000) << QStringLiteral("\u2303\u2325\u21E7\u2318K");
        QTest::newRow("shifted digit, named as without Shift")
            << int(Qt::Key_Exclam) << Qt::KeyboardModifiers(Qt::ShiftModifier) << VirtualKey::digit1
            << quint64(0x20000) << QStringLiteral("\u21E71");
        QTest::newRow("keypad 5") << int(Qt::Key_5) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                  << VirtualKey::keypad5 << quint64(0x200000) << QStringLiteral("5");
        QTest::newRow("keypad 7 without Num Lock")
            << int(Qt::Key_Home) << Qt::KeyboardModifiers(Qt::KeypadModifier) << VirtualKey::keypad7
            << quint64(0x200000) << QStringLiteral("7");
        QTest::newRow("arrow: numeric pad and function")
            << int(Qt::Key_Up) << Qt::KeyboardModifiers() << VirtualKey::upArrow << quint64(0xA00000)
            << QStringLiteral("\u2191");
    }

    void recorderTakesTheNextKey() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QStringList assigned;
        connect(&m_app->state, &AppState::hotkeyKeyCodeChanged, this, [&] { assigned << "keyCode"; });
        connect(&m_app->state, &AppState::hotkeyModifiersChanged, this, [&] { assigned << "modifiers"; });
        connect(&m_app->state, &AppState::hotkeyStringChanged, this, [&] { assigned << "string"; });
        click();
        QVERIFY(m_app->state.isRecordingShortcut());
        QCOMPARE(m_view->text(), QStringLiteral("Listening... (Esc to cancel)"));
        QTest::keyClick(m_view.get(), Qt::Key(key), modifiers);

        QCOMPARE(assigned, (QStringList{"keyCode", "modifiers", "string"}));
        QTEST(m_app->state.hotkeyKeyCode(), "keyCode");
        QTEST(m_app->state.hotkeyModifiers(), "flags");
        QTEST(m_app->settings.value("hotkeyString").toString(), "text");
        QVERIFY(!m_app->state.isRecordingShortcut());
        QTEST(m_view->text(), "text");
        // No longer listening: the next key is not recorded.
        QTest::keyClick(m_view.get(), Qt::Key_Z);
        QTEST(m_app->state.hotkeyString(), "text");
    }

    void recorderKeepsCapsLockInTheStoredModifiers() {
        click();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::MetaModifier, 0, 0, 0x2 /* Lock */);
        QCoreApplication::sendEvent(m_view.get(), &press);
        QCOMPARE(m_app->state.hotkeyModifiers(), quint64(0x110000));
        QCOMPARE(m_app->state.hotkeyString(), QStringLiteral("\u2318X"));
    }

    void escapeASecondClickAndHidingCancel() {
        click();
        // A modifier alone or a key without a name passes on; the control keeps listening.
        QTest::keyClick(m_view.get(), Qt::Key_Shift, Qt::ShiftModifier);
        QTest::keyClick(m_view.get(), Qt::Key_Udiaeresis);
        QVERIFY(m_app->state.isRecordingShortcut());
        QTest::keyClick(m_view.get(), Qt::Key_Escape, Qt::ShiftModifier);
        expectUnchangedAndNotListening();
        click();
        click();
        expectUnchangedAndNotListening();
        click();
        m_view->hide();
        QVERIFY(!m_app->state.isRecordingShortcut());
        m_view->show();
        QTest::keyClick(m_view.get(), Qt::Key_B);
        expectUnchangedAndNotListening();
    }
};

QTEST_MAIN(TestHotkey)
#include "tst_hotkey.moc"
