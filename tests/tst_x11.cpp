#include "core/Startup.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeSpeechRecognition.h"
#include "fakes/TerminalLikeEdit.h"
#include "fakes/TestAppState.h"
#include "hotkey/GlobalHotkey.h"
#include "hotkey/QtKeyCodes.h"
#include "hotkey/VirtualKeyCodes.h"
#include "log/Log.h"
#include "output/PasteDeliverer.h"
#include "platform/linux/CanberraSystemSound.h"
#include "platform/linux/QClipboardPasteboard.h"
#include "platform/linux/X11DeliveryServices.h"
#include "platform/linux/X11HotkeyKeysyms.h"
#include "platform/linux/X11HotkeyService.h"

#include <QAbstractNativeEventFilter>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QSet>
#include <QTest>

#include <X11/keysym.h>
#include <xcb/xcb_keysyms.h>

namespace {

constexpr int patience = 20000;
constexpr uint16_t superShift = XCB_MOD_MASK_4 | XCB_MOD_MASK_SHIFT;
constexpr uint16_t controlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
const QString deliveredText = QStringLiteral("Grüße aus Köln, 世界 🎤 — ok");
const QString dispatching = QStringLiteral("[AppState] Dispatching Cmd+V...");

/// Types through XTest, as another client would.
bool xdotool(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

/// Another X client, competing for key grabs.
class RivalClient {
public:
    ~RivalClient() {
        xcb_key_symbols_free(m_symbols);
        xcb_disconnect(m_connection);
    }
    xcb_keycode_t keycode(xcb_keysym_t keysym) const {
        std::unique_ptr<xcb_keycode_t, decltype(&std::free)> codes(
            xcb_key_symbols_get_keycode(m_symbols, keysym), &std::free);
        return codes ? codes.get()[0] : 0;
    }
    /// Whether the passive grab was granted.
    bool grab(xcb_keysym_t keysym, uint16_t modifiers) {
        xcb_generic_error_t* error = xcb_request_check(
            m_connection, xcb_grab_key_checked(m_connection, true, m_root, modifiers, keycode(keysym),
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }
    void ungrab(xcb_keysym_t keysym, uint16_t modifiers) {
        xcb_ungrab_key(m_connection, keycode(keysym), m_root, modifiers);
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

private:
    xcb_connection_t* m_connection = xcb_connect(nullptr, nullptr);
    xcb_window_t m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    xcb_key_symbols_t* m_symbols = xcb_key_symbols_alloc(m_connection);
};

/// Counts the key presses that reach Qt's X connection; installed after the service, it sees each one first.
struct KeyPressCounter : QAbstractNativeEventFilter {
    KeyPressCounter() { QCoreApplication::instance()->installNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
        presses += (static_cast<xcb_generic_event_t*>(message)->response_type & ~0x80) == XCB_KEY_PRESS;
        return false;
    }
    int presses = 0;
};

} // namespace

// The hotkey and the delivery on the test desktop's X display: key grabs pressed through XTest, text pasted
// into real windows through the real clipboard, sound and XTest keystroke.
class TestX11 : public QObject {
    Q_OBJECT

    RivalClient m_rival;
    std::unique_ptr<TestAppState> m_app;
    std::unique_ptr<X11HotkeyService> m_service;
    std::unique_ptr<GlobalHotkey> m_hotkey;
    QStringList m_actions; ///< "toggle", "hold" and "release", as the hotkey asked for them
    std::optional<X11DeliveryServices> m_x11;
    QClipboardPasteboard m_pasteboard;
    CanberraSystemSound m_sound;
    std::unique_ptr<PasteDeliverer> m_deliverer;
    FakeSpeechRecognition m_speech;
    FakeDeliveryServices m_notices; // for its notifications

    /// Events come in order: once the last action has come, every earlier one has been seen.
    void expectActions(const QStringList& expected) {
        QTRY_COMPARE_WITH_TIMEOUT(m_actions.size(), expected.size(), patience);
        QTest::qWait(200);
        QCOMPARE(m_actions, expected);
    }
    void expectToggles(int expected) { expectActions(QStringList(expected, QStringLiteral("toggle"))); }
    bool showActive(QWidget& window, const QString& title) {
        window.setWindowTitle(title);
        window.show();
        window.raise();
        window.activateWindow();
        return QTest::qWaitFor(
            [&] {
                const std::shared_ptr<RunningApplication> front = m_x11->workspace->frontmostApplication();
                return window.isActiveWindow() && front && front->localizedName() == title;
            },
            patience);
    }
    /// As the recording stops, the window in front becomes the one to paste into.
    void stopRecording() { m_app->state.previousApp = m_x11->workspace->frontmostApplication(); }

private slots:
    void initTestCase() {
        QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
                 "needs the test desktop's X display");
        // Held modifiers are waited for this long here, so that a slow machine cannot let the paste go early.
        m_x11 = connectX11DeliveryServices(std::chrono::seconds(60));
        QVERIFY(m_x11 && m_x11->accessibilityTrust->isTrustedPromptingUser());
    }

    void init() {
        m_app = std::make_unique<TestAppState>();
        m_service = X11HotkeyService::create();
        QVERIFY(m_service);
        m_actions.clear();
        m_notices.journal.clear();
        const auto note = [this](const char* action) { return [this, action] { m_actions << action; }; };
        m_hotkey = std::make_unique<GlobalHotkey>(
            m_app->state, *m_service, m_notices,
            GlobalHotkey::Actions{note("toggle"), note("hold"), note("release")});
        m_deliverer = std::make_unique<PasteDeliverer>(
            m_app->state, PasteDeliverer::Services{m_pasteboard, m_sound, *m_x11->accessibilityTrust,
                                                   *m_x11->keyboardEvents, m_notices});
        startUp(m_app->state, *m_hotkey, m_speech, *m_deliverer);
        QTRY_COMPARE(m_app->log.size(), 1); // the speech authorisation, which is not this test's
        m_app->log.clear();
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }

    void cleanup() {
        m_deliverer.reset();
        m_app.reset(); // gives the grab back before the service goes
        m_hotkey.reset();
        m_service.reset();
    }

    void onlyTheFourModifiersAreRegistered() {
        QCOMPARE(carbonModifiers(0x120000), 0x300u);  // command shift
        QCOMPARE(carbonModifiers(0x2D0000), 0x1800u); // control option, without caps lock and numeric pad
    }

    // Every key the shortcut recorder takes can be grabbed: its stored code converts to a Qt key that the X11
    // table knows, and it is grabbed unless the keymap lacks it, as common keymaps lack the keys beyond F12.
    void everyRecordableKeyIsGrabbed() {
        QSet<quint32> keysyms;
        for (const QtKeyMapping& row : qtKeyMappings()) {
            const auto key = virtualKeyOfQtKey(row.qtKey, row.keypad);
            const auto combination = qtKeyCombination(row.keyCode, 0x1B00);
            const quint32 keysym = combination ? x11HotkeyKeysymOf(*combination).value_or(0) : 0;
            QVERIFY2(key && key->keyCode == row.keyCode && !key->name.isEmpty() && keysym != 0,
                     qPrintable(QString::number(row.qtKey, 16)));
            if (keysyms.contains(keysym)) {
                continue; // shifted and Num Lock rows name a key already grabbed
            }
            keysyms.insert(keysym);
            const bool mapped = m_rival.keycode(keysym) != 0;
            QVERIFY2(mapped || (keysym >= XK_F13 && keysym <= XK_F20),
                     qPrintable(QString::number(keysym, 16)));
            QCOMPARE(m_service->registerHotkey(*combination) != nullptr, mapped);
        }
        QCOMPARE(keysyms.size(), qsizetype(x11HotkeyKeysyms().size()));
        QVERIFY(!qtKeyCombination(0x0A, 0)); // the ISO key left of 1 has no US place
    }

    void eachPressTogglesOnce() {
        QVERIFY(m_app->state.eventHotKeyRef);
        QVERIFY(xdotool({"key", "super+shift+r"}));
        QTRY_COMPARE_WITH_TIMEOUT(m_actions.size(), 1, patience);
        // Other combinations of the key do nothing; Num Lock does not matter.
        QVERIFY(xdotool({"key", "shift+r", "super+r", "Num_Lock", "super+shift+r", "Num_Lock"}));
        expectToggles(2);
        // Held long enough to auto-repeat.
        QVERIFY(xdotool({"keydown", "super+shift+r", "sleep", "1.5", "keyup", "r", "keyup", "super+shift"}));
        expectToggles(3);
        // While the shortcut recorder listens, the press goes on to the application instead.
        KeyPressCounter arrived;
        m_app->state.setIsRecordingShortcut(true);
        QVERIFY(xdotool({"key", "super+shift+r"}));
        QTRY_COMPARE_WITH_TIMEOUT(arrived.presses, 1, patience);
        QCoreApplication::processEvents();
        m_app->state.setIsRecordingShortcut(false);
        QVERIFY(xdotool({"key", "super+shift+r"}));
        expectToggles(4);
    }

    // Held to talk, a combination reports one press and one release, however long its key repeats; letting go
    // of a modifier first ends it then and there.
    void holdingReportsOnePressAndOneRelease() {
        m_app->state.setHotkeyMode(AppState::HotkeyMode::hold);
        QVERIFY(xdotool({"keydown", "super+shift+r", "sleep", "1.5", "keyup", "r", "keyup", "super+shift"}));
        expectActions({"hold", "release"});
        QVERIFY(xdotool({"keydown", "super+shift+r", "sleep", "0.3", "keyup", "shift"}));
        QTRY_COMPARE_WITH_TIMEOUT(m_actions.size(), 4, patience);
        QVERIFY(xdotool({"sleep", "0.5", "keyup", "r", "keyup", "super"}));
        expectActions({"hold", "release", "hold", "release"});
        // The toggle mode takes no notice of releases.
        m_app->state.setHotkeyMode(AppState::HotkeyMode::toggle);
        QVERIFY(xdotool({"key", "super+shift+r"}));
        expectActions({"hold", "release", "hold", "release", "toggle"});
    }

    void aChangedCombinationReplacesTheGrabUnlessAnotherClientHoldsIt() {
        QVERIFY(m_rival.grab(XK_k, controlAlt));
        m_app->state.setHotkeyKeyCode(VirtualKey::k);
        m_app->state.setHotkeyModifiers(ModifierFlag::control | ModifierFlag::option);
        m_app->state.setHotkeyString(QStringLiteral("\u2303\u2325K")); // last, as the recorder does
        QVERIFY(!m_app->state.eventHotKeyRef);
        const QStringList notice{QStringLiteral(
            "notify The shortcut \u2303\u2325K could not be taken; another program may hold it. "
            "Choose another in Settings \u2192 Shortcuts.")};
        QTRY_COMPARE(m_notices.journal, notice);
        // The variants that were granted before the refusal were given back.
        QVERIFY(m_rival.grab(XK_k, controlAlt | XCB_MOD_MASK_LOCK));
        m_rival.ungrab(XK_k, controlAlt | XCB_MOD_MASK_LOCK);
        QVERIFY(xdotool({"key", "ctrl+alt+k"})); // goes to the client that holds it
        m_rival.ungrab(XK_k, controlAlt);

        // The next change tries again; of the three combinations taken on the way only the last is held.
        m_app->state.setHotkeyModifiers(ModifierFlag::control | ModifierFlag::option);
        QVERIFY(m_app->state.eventHotKeyRef);
        QVERIFY(m_rival.grab(XK_r, superShift) && m_rival.grab(XK_k, superShift));
        QVERIFY(!m_rival.grab(XK_k, controlAlt));
        m_rival.ungrab(XK_r, superShift);
        m_rival.ungrab(XK_k, superShift);
        QVERIFY(xdotool({"key", "ctrl+alt+k"}));
        expectToggles(1);
        QCOMPARE(m_notices.journal, notice);
    }

    void pastesIntoTheWindowInFrontWhenRecordingStopped_data() {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QString>("text");
        QTest::newRow("line edit") << false << deliveredText;
        QTest::newRow("terminal pastes with Ctrl+Shift+V") << true << deliveredText;
        QTest::newRow("empty text replaces the selection") << false << QString();
    }

    void pastesIntoTheWindowInFrontWhenRecordingStopped() {
        QFETCH(bool, terminal);
        QFETCH(QString, text);
        auto target = terminal ? std::make_unique<TerminalLikeEdit>() : std::make_unique<QLineEdit>();
        target->setText(QStringLiteral("selected words"));
        target->selectAll();
        const QString title = QStringLiteral("Zielfenster ✓ Ünïcode");
        QVERIFY(showActive(*target, title));
        if (terminal) {
            QVERIFY(xdotool({"set_window", "--classname", "kitty", "--class", "kitty",
                             QString::number(target->winId())}));
        }
        stopRecording();
        QLineEdit other;
        QVERIFY(showActive(other, QStringLiteral("Somewhere else")));

        m_deliverer->deliverText(text);
        QTRY_COMPARE_WITH_TIMEOUT(target->text(), text, patience);
        QCOMPARE(other.text(), QString());
        QCOMPARE(m_app->log, (QStringList{"[AppState] Activating " + title + "...", dispatching}));
        // Another client reads the clipboard from this process, so the event loop keeps running meanwhile.
        QProcess reader;
        reader.start(QStringLiteral(CLIPBOARD_READER), {});
        QVERIFY(QTest::qWaitFor([&] { return reader.state() == QProcess::NotRunning; }, patience));
        QCOMPARE(QString::fromUtf8(reader.readAllStandardOutput()), QStringLiteral("text:") + text);
    }

    void pastesIntoTheWindowNowInFrontWhenThePreviousOneIsGone() {
        QLineEdit remaining;
        auto vanishing = std::make_unique<QLineEdit>();
        QVERIFY(showActive(remaining, QStringLiteral("Remaining")));
        QVERIFY(showActive(*vanishing, QStringLiteral("Vanishing")));
        stopRecording();
        vanishing.reset();
        QTRY_VERIFY_WITH_TIMEOUT(m_app->state.previousApp->isTerminated(), patience);
        QVERIFY(showActive(remaining, QStringLiteral("Remaining")));
        m_deliverer->deliverText(deliveredText);
        QTRY_COMPARE_WITH_TIMEOUT(remaining.text(), deliveredText, patience);
        QCOMPARE(m_app->log, QStringList{dispatching});
    }

    void waitsForHeldModifiersBeforePasting() {
        QLineEdit target;
        QVERIFY(showActive(target, QStringLiteral("Target")));
        stopRecording();
        QVERIFY(xdotool({"keydown", "shift"}));
        auto releaseShift = qScopeGuard([] { xdotool({"keyup", "shift"}); });
        m_deliverer->deliverText(deliveredText);
        QTRY_VERIFY_WITH_TIMEOUT(m_app->log.contains(dispatching), patience);
        QTest::qWait(500);
        QCOMPARE(target.text(), QString());
        releaseShift.dismiss();
        QVERIFY(xdotool({"keyup", "shift"}));
        QTRY_COMPARE_WITH_TIMEOUT(target.text(), deliveredText, patience);
    }
};

QTEST_MAIN(TestX11)
#include "tst_x11.moc"
