#include "fakes/TestAppState.h"
#include "fakes/X11TestClient.h"
#include "hotkey/GlobalHotkey.h"
#include "platform/VirtualKeyCodes.h"
#include "platform/linux/X11HotkeyKeysyms.h"
#include "platform/linux/X11HotkeyService.h"

#include <QAbstractNativeEventFilter>
#include <QTest>

#include <X11/keysym.h>

namespace {
constexpr uint16_t superShift = XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT;
constexpr uint16_t controlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
constexpr int generousMs = 20000;

/// Counts the key presses that reach Qt's X connection; installed after the service, it sees each one first.
class KeyPressCounter : public QAbstractNativeEventFilter {
public:
    KeyPressCounter() { QCoreApplication::instance()->installNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
        if ((static_cast<xcb_generic_event_t*>(message)->response_type & ~0x80) == XCB_KEY_PRESS)
            ++presses;
        return false;
    }
    int presses = 0;
};
} // namespace

class TestX11Hotkey : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X display");
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    }

    void init() {
        m_app = std::make_unique<TestAppState>();
        m_service = X11HotkeyService::create();
        QVERIFY(m_service);
        m_toggles = 0;
        m_hotkey = std::make_unique<GlobalHotkey>(m_app->state, *m_service, [this] { ++m_toggles; });
        connect(&m_app->state, &AppState::hotkeyKeyCodeChanged, this, [this] { m_hotkey->registerHotkey(); });
        connect(&m_app->state, &AppState::hotkeyModifiersChanged, this,
                [this] { m_hotkey->registerHotkey(); });
        m_hotkey->installHotkeyHandler();
        m_hotkey->registerHotkey();
    }

    void cleanup() {
        m_app.reset(); // gives the grab back before the service goes
        m_hotkey.reset();
        m_service.reset();
    }

    void everyKeyOfTheTableIsGrabbed() {
        for (const X11HotkeyKeysym& row : x11HotkeyKeysyms()) {
            const bool mapped = m_client.keycode(row.keysym) != 0;
            // Common keymaps give the keys beyond F12 to other keysyms; those are refused.
            QVERIFY2(mapped || (row.keysym >= XK_F13 && row.keysym <= XK_F20),
                     qPrintable(QString::number(row.keysym, 16)));
            QCOMPARE(m_service->registerHotkey(row.keyCode, 0x1B00) != nullptr, mapped);
        }
    }

    void eachPressTogglesOnce() {
        QVERIFY(m_app->state.eventHotKeyRef);
        m_client.type({XK_Super_L, XK_Shift_L, XK_r});
        QTRY_COMPARE_WITH_TIMEOUT(m_toggles, 1, generousMs);
        // Other combinations of the key do nothing.
        m_client.type({XK_Shift_L, XK_r});
        m_client.type({XK_Super_L, XK_r});

        m_client.type({XK_Num_Lock});
        QVERIFY(m_client.modifierState() & XCB_MOD_MASK_2);
        m_client.type({XK_Super_L, XK_Shift_L, XK_r});
        m_client.type({XK_Num_Lock});
        QTRY_COMPARE_WITH_TIMEOUT(m_toggles, 2, generousMs);

        // Held long enough to auto-repeat.
        m_client.press(XK_Super_L);
        m_client.press(XK_Shift_L);
        m_client.press(XK_r);
        QTest::qWait(1500);
        m_client.release(XK_r);
        m_client.release(XK_Shift_L);
        m_client.release(XK_Super_L);
        QTRY_COMPARE_WITH_TIMEOUT(m_toggles, 3, generousMs);

        KeyPressCounter arrived;
        m_app->state.setIsRecordingShortcut(true);
        m_client.type({XK_Super_L, XK_Shift_L, XK_r});
        QTRY_COMPARE_WITH_TIMEOUT(arrived.presses, 1, generousMs);
        QCoreApplication::processEvents();
        m_app->state.setIsRecordingShortcut(false);
        m_client.type({XK_Super_L, XK_Shift_L, XK_r});
        expectToggles(4);
    }

    void aChangedCombinationReplacesTheGrabUnlessAnotherClientHoldsIt() {
        QVERIFY(m_client.grab(XK_k, controlAlt));
        m_app->state.setHotkeyKeyCode(VirtualKey::k);
        m_app->state.setHotkeyModifiers(ModifierFlag::control | ModifierFlag::option);
        QVERIFY(!m_app->state.eventHotKeyRef);
        // The variants that were granted before the refusal were given back.
        QVERIFY(m_client.grab(XK_k, controlAlt | XCB_MOD_MASK_LOCK));
        m_client.ungrab(XK_k, controlAlt | XCB_MOD_MASK_LOCK);
        m_client.type({XK_Control_L, XK_Alt_L, XK_k});
        m_client.ungrab(XK_k, controlAlt);

        // The next change tries again; of the three combinations taken on the way only the last is held.
        m_app->state.setHotkeyModifiers(ModifierFlag::control | ModifierFlag::option);
        QVERIFY(m_app->state.eventHotKeyRef);
        QVERIFY(m_client.grab(XK_r, superShift));
        QVERIFY(m_client.grab(XK_k, superShift));
        QVERIFY(!m_client.grab(XK_k, controlAlt));
        m_client.ungrab(XK_r, superShift);
        m_client.ungrab(XK_k, superShift);
        m_client.type({XK_Control_L, XK_Alt_L, XK_k});
        expectToggles(1);
    }

private:
    /// Events come in order: once the last press has toggled, every earlier press has been seen.
    void expectToggles(int expected) {
        QTRY_COMPARE_WITH_TIMEOUT(m_toggles, expected, generousMs);
        QTest::qWait(200);
        QCOMPARE(m_toggles, expected);
    }

    X11TestClient m_client;
    std::unique_ptr<TestAppState> m_app;
    std::unique_ptr<X11HotkeyService> m_service;
    std::unique_ptr<GlobalHotkey> m_hotkey;
    int m_toggles = 0;
};

QTEST_MAIN(TestX11Hotkey)
#include "tst_x11hotkey.moc"
