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

    void registrationFollowsTheStoredCombinationAndPressesToggle() {
        FakeHotkeyService service; // outlives the registration that AppState holds
        TestAppState app;
        app.settings.setValue(QStringLiteral("hotkeyKeyCode"), 49);
        // Control and Option are registered; Caps Lock and the numeric pad flag are not.
        app.settings.setValue(QStringLiteral("hotkeyModifiers"), 0x2D0000);
        int toggles = 0;
        GlobalHotkey hotkey(app.state, service, [&] { ++toggles; });
        FakeSpeechRecognition speech;
        FakeTextDeliverer deliverer;
        startUp(app.state, hotkey, speech, deliverer);
        QCOMPARE(service.held, QStringList{"31:1800"});

        service.press();
        QCOMPARE(toggles, 0); // scheduled, not run inside the platform's callback
        QCoreApplication::processEvents();
        QCOMPARE(toggles, 1);
        app.state.setIsRecordingShortcut(true);
        service.press();
        QCoreApplication::processEvents();
        QCOMPARE(toggles, 1);

        // The recorder assigns the key first: it is briefly registered with the old modifiers. The old
        // registration is always given back before the next is asked for.
        service.requests.clear();
        app.state.setHotkeyKeyCode(VirtualKey::k);
        app.state.setHotkeyModifiers(0x40000);
        QCOMPARE(service.requests, (QStringList{"28:1800", "28:1000"}));
        QCOMPARE(service.held, QStringList{"28:1000"});
        QVERIFY(!service.requestedWhileHolding);
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
            {Qt::Key_Home, KeypadModifier, 0, VirtualKey::keypad7, 0x200000,
             "7"}, // keypad 7 without Num Lock
            {Qt::Key_Up, {}, 0, VirtualKey::upArrow, 0xA00000, "\u2191"},
        };
        for (const auto& key : keys) {
            click();
            QCOMPARE(m_view->text(), QStringLiteral("Listening... (Esc to cancel)"));
            QKeyEvent press(QEvent::KeyPress, key.key, key.modifiers, 0, 0, key.lock);
            QCoreApplication::sendEvent(m_view.get(), &press);
            QCOMPARE(m_app->state.hotkeyKeyCode(), key.keyCode);
            QCOMPARE(m_app->state.hotkeyModifiers(), key.flags);
            QCOMPARE(m_app->settings.value("hotkeyString").toString(), key.text);
            QCOMPARE(m_view->text(), key.text);
        }
        QCOMPARE(assigned.first(3), (QStringList{"keyCode", "modifiers", "string"}));
        // No longer listening: the next key is not recorded.
        QVERIFY(!m_app->state.isRecordingShortcut());
        QTest::keyClick(m_view.get(), Qt::Key_Z);
        QCOMPARE(m_app->state.hotkeyString(), QStringLiteral("\u2191"));
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
