#include "core/AppState.h"
#include "core/Log.h"
#include "fakes/TerminalLikeEdit.h"
#include "output/PasteDeliverer.h"
#include "platform/linux/CanberraSystemSound.h"
#include "platform/linux/QClipboardPasteboard.h"
#include "platform/linux/X11DeliveryServices.h"
#include "platform/null/NullPlatform.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int windowTimeoutMs = 20000;
// Held modifiers are waited for this long here, so that a slow machine cannot let the paste go early.
constexpr std::chrono::seconds testModifierReleaseLimit{60};

const QString deliveredText = QStringLiteral("Grüße aus Köln, 世界 🎤 — ok");

bool xdotool(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

// The harness starts the window manager alongside the test; windows mapped before it runs are never focused.
bool windowManagerRunning() {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"});
    return xprop.waitForFinished() && xprop.readAllStandardOutput().contains("window id");
}

} // namespace

class X11DeliveryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void pastesIntoTheWindowInFrontWhenRecordingStopped_data();
    void pastesIntoTheWindowInFrontWhenRecordingStopped();
    void pastesIntoTheWindowNowInFrontWhenThePreviousOneIsGone();
    void waitsForHeldModifiersBeforePasting();

private:
    bool showActive(QWidget& window, const QString& title);
    QString frontmostName();
    void stopRecording();
    QString clipboardSeenByAnotherClient();

    QTemporaryDir m_dir;
    std::optional<X11DeliveryServices> m_x11;
    QClipboardPasteboard m_pasteboard;
    CanberraSystemSound m_sound;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<PasteDeliverer> m_deliverer;
    QStringList m_log;
};

void X11DeliveryTest::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        QSKIP("needs an X display (run under scripts/with-test-desktop.sh)");
    }
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        QSKIP("needs the xcb platform");
    }
    QVERIFY(QTest::qWaitFor(windowManagerRunning, windowTimeoutMs));
    m_x11 = connectX11DeliveryServices(testModifierReleaseLimit);
    QVERIFY(m_x11);
    QVERIFY(m_x11->accessibilityTrust->isTrustedPromptingUser());
}

void X11DeliveryTest::init() {
    m_settings =
        std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    m_state = std::make_unique<AppState>(*m_settings, QStringLiteral("en_US"),
                                         [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
    m_deliverer = std::make_unique<PasteDeliverer>(
        *m_state,
        PasteDeliverer::Services{m_pasteboard, m_sound, *m_x11->accessibilityTrust, *m_x11->keyboardEvents});
    m_log.clear();
    setLogSink([this](const QString& line) { m_log << line; });
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
}

void X11DeliveryTest::cleanup() {
    setLogSink({});
    m_deliverer.reset();
    m_state.reset();
}

bool X11DeliveryTest::showActive(QWidget& window, const QString& title) {
    window.setWindowTitle(title);
    window.resize(400, 60);
    window.show();
    window.raise();
    window.activateWindow();
    return QTest::qWaitFor([&] { return window.isActiveWindow() && frontmostName() == title; },
                           windowTimeoutMs);
}

QString X11DeliveryTest::frontmostName() {
    const std::shared_ptr<RunningApplication> front = m_x11->workspace->frontmostApplication();
    return front ? front->localizedName().value_or(QString()) : QString();
}

// As the recording stops, the window in front becomes the one to paste into.
void X11DeliveryTest::stopRecording() {
    m_state->previousApp = m_x11->workspace->frontmostApplication();
}

QString X11DeliveryTest::clipboardSeenByAnotherClient() {
    // The reader asks this process for the clipboard, so the event loop must keep running meanwhile.
    QProcess reader;
    reader.start(QStringLiteral(CLIPBOARD_READER), {});
    if (!QTest::qWaitFor([&] { return reader.state() == QProcess::NotRunning; }, windowTimeoutMs)) {
        reader.kill();
        reader.waitForFinished();
        return QStringLiteral("reader did not finish");
    }
    return QString::fromUtf8(reader.readAllStandardOutput());
}

void X11DeliveryTest::pastesIntoTheWindowInFrontWhenRecordingStopped_data() {
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<QString>("text");
    QTest::newRow("line edit") << false << deliveredText;
    QTest::newRow("terminal pastes with Ctrl+Shift+V") << true << deliveredText;
    // Pasting the empty entry replaces the selection with nothing.
    QTest::newRow("empty text") << false << QString();
}

void X11DeliveryTest::pastesIntoTheWindowInFrontWhenRecordingStopped() {
    QFETCH(bool, terminal);
    QFETCH(QString, text);
    std::unique_ptr<QLineEdit> target =
        terminal ? std::make_unique<TerminalLikeEdit>() : std::make_unique<QLineEdit>();
    target->setText(QStringLiteral("selected words"));
    target->selectAll();
    QLineEdit other;
    const QString title = QStringLiteral("Zielfenster ✓ Ünïcode");
    QVERIFY(showActive(*target, title));
    if (terminal) {
        QVERIFY(xdotool(
            {"set_window", "--classname", "kitty", "--class", "kitty", QString::number(target->winId())}));
    }
    stopRecording();
    QCOMPARE(m_state->previousApp->localizedName(), title);
    QVERIFY(showActive(other, QStringLiteral("Somewhere else")));

    m_deliverer->deliverText(text);

    QTRY_COMPARE_WITH_TIMEOUT(target->text(), text, windowTimeoutMs);
    QCOMPARE(other.text(), QString());
    QCOMPARE(m_log, (QStringList{QStringLiteral("[AppState] Activating ") + title + QStringLiteral("..."),
                                 QStringLiteral("[AppState] Dispatching Cmd+V...")}));
    QCOMPARE(clipboardSeenByAnotherClient(), QStringLiteral("text:") + text);
}

void X11DeliveryTest::pastesIntoTheWindowNowInFrontWhenThePreviousOneIsGone() {
    QLineEdit remaining;
    auto vanishing = std::make_unique<QLineEdit>();
    QVERIFY(showActive(remaining, QStringLiteral("Remaining")));
    QVERIFY(showActive(*vanishing, QStringLiteral("Vanishing")));
    stopRecording();
    vanishing.reset();
    QTRY_VERIFY_WITH_TIMEOUT(m_state->previousApp->isTerminated(), windowTimeoutMs);
    QVERIFY(showActive(remaining, QStringLiteral("Remaining")));

    m_deliverer->deliverText(deliveredText);

    QTRY_COMPARE_WITH_TIMEOUT(remaining.text(), deliveredText, windowTimeoutMs);
    QCOMPARE(m_log, QStringList{QStringLiteral("[AppState] Dispatching Cmd+V...")});
}

void X11DeliveryTest::waitsForHeldModifiersBeforePasting() {
    QLineEdit target;
    QVERIFY(showActive(target, QStringLiteral("Target")));
    stopRecording();
    QVERIFY(xdotool({"keydown", "shift"}));
    auto releaseShift = qScopeGuard([] { xdotool({"keyup", "shift"}); });

    m_deliverer->deliverText(deliveredText);
    QTRY_VERIFY_WITH_TIMEOUT(m_log.contains(QStringLiteral("[AppState] Dispatching Cmd+V...")),
                             windowTimeoutMs);
    QTest::qWait(500);
    QCOMPARE(target.text(), QString());

    releaseShift.dismiss();
    QVERIFY(xdotool({"keyup", "shift"}));
    QTRY_COMPARE_WITH_TIMEOUT(target.text(), deliveredText, windowTimeoutMs);
}

QTEST_MAIN(X11DeliveryTest)
#include "tst_x11delivery.moc"
