#include "fakes/TestAppState.h"
#include "hotkey/ShortcutRecorderView.h"

#include <QKeyEvent>
#include <QTest>

class TestShortcutRecorder : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_view.reset();
        m_app = std::make_unique<TestAppState>();
        m_view = std::make_unique<ShortcutRecorderView>(m_app->state);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }

    void recordsTheNextKeyInOrder_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<quint16>("keyCode");
        QTest::addColumn<quint64>("flags");
        QTest::addColumn<QString>("text");
        QTest::newRow("command shift R")
            << int(Qt::Key_R) << (Qt::MetaModifier | Qt::ShiftModifier) << quint16(15) << quint64(0x120000)
            << QStringLiteral("\u21E7\u2318R");
        QTest::newRow("all four with K")
            << int(Qt::Key_K)
            << (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier) << quint16(40)
            << quint64(0x1E0000) << QStringLiteral("\u2303\u2325\u21E7\u2318K");
        QTest::newRow("plain letter")
            << int(Qt::Key_A) << Qt::KeyboardModifiers() << quint16(0) << quint64(0) << QStringLiteral("A");
        QTest::newRow("keypad 5") << int(Qt::Key_5) << Qt::KeyboardModifiers(Qt::KeypadModifier)
                                  << quint16(87) << quint64(0x200000) << QStringLiteral("5");
    }
    void recordsTheNextKeyInOrder() {
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QStringList assigned;
        connect(&m_app->state, &AppState::hotkeyKeyCodeChanged, this, [&] { assigned << "keyCode"; });
        connect(&m_app->state, &AppState::hotkeyModifiersChanged, this, [&] { assigned << "modifiers"; });
        connect(&m_app->state, &AppState::hotkeyStringChanged, this, [&] { assigned << "string"; });

        QVERIFY(m_view->width() >= 150);
        QCOMPARE(m_view->text(), QStringLiteral("\u2318\u21E7R"));
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

    void keepsCapsLockInTheStoredModifiers() {
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

private:
    void click() { QTest::mouseClick(m_view.get(), Qt::LeftButton); }

    void expectUnchangedAndNotListening() {
        QVERIFY(!m_app->state.isRecordingShortcut());
        QCOMPARE(m_app->state.hotkeyKeyCode(), quint16(15));
        QCOMPARE(m_app->state.hotkeyModifiers(), quint64(0x120000));
        QCOMPARE(m_view->text(), QStringLiteral("\u2318\u21E7R"));
        QVERIFY(!m_app->settings.contains("hotkeyKeyCode"));
    }

    std::unique_ptr<TestAppState> m_app;
    std::unique_ptr<ShortcutRecorderView> m_view;
};

QTEST_MAIN(TestShortcutRecorder)
#include "tst_shortcutrecorder.moc"
