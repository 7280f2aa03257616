#include "fakes/TestAppState.h"
#include "log/Log.h"
#include "output/PasteDeliverer.h"
#include "platform/linux/CanberraSystemSound.h"
#include "platform/linux/QClipboardPasteboard.h"
#include "platform/linux/X11DeliveryServices.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

namespace {

constexpr int patience = 20000;
const QString deliveredText = QStringLiteral("Grüße aus Köln, 世界 🎤 — ok");
const QString dispatching = QStringLiteral("[AppState] Dispatching Cmd+V...");

/// A terminal emulator's input as far as pasting goes: Ctrl+Shift+V pastes, Ctrl+V reaches the shell.
class TerminalLikeEdit : public QLineEdit {
protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_V && event->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)) {
            insert(QGuiApplication::clipboard()->text());
        } else if (event->key() == Qt::Key_V && event->modifiers() == Qt::ControlModifier) {
            insert(QStringLiteral("^V"));
        } else {
            QLineEdit::keyPressEvent(event);
        }
    }
};

bool xdotool(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("xdotool"), arguments) == 0;
}

} // namespace

// Delivers into real windows of the test desktop's X display, through the real clipboard, sound and XTest.
class X11DeliveryTest : public QObject {
    Q_OBJECT

    std::optional<X11DeliveryServices> m_x11;
    QClipboardPasteboard m_pasteboard;
    CanberraSystemSound m_sound;
    std::unique_ptr<TestAppState> m_app;
    std::unique_ptr<PasteDeliverer> m_deliverer;
    QStringList m_log;

    bool showActive(QWidget& window, const QString& title) {
        window.setWindowTitle(title);
        window.resize(400, 60);
        window.show();
        window.raise();
        window.activateWindow();
        return QTest::qWaitFor([&] { return window.isActiveWindow() && frontmostName() == title; }, patience);
    }
    QString frontmostName() {
        const std::shared_ptr<RunningApplication> front = m_x11->workspace->frontmostApplication();
        return front ? front->localizedName().value_or(QString()) : QString();
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
        m_deliverer = std::make_unique<PasteDeliverer>(
            m_app->state, PasteDeliverer::Services{m_pasteboard, m_sound, *m_x11->accessibilityTrust,
                                                   *m_x11->keyboardEvents});
        m_log.clear();
        setLogSink([this](const QString& line) { m_log << line; });
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    }

    void cleanup() { setLogSink({}); }

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
        QCOMPARE(m_log, (QStringList{"[AppState] Activating " + title + "...", dispatching}));
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
        QCOMPARE(m_log, QStringList{dispatching});
    }

    void waitsForHeldModifiersBeforePasting() {
        QLineEdit target;
        QVERIFY(showActive(target, QStringLiteral("Target")));
        stopRecording();
        QVERIFY(xdotool({"keydown", "shift"}));
        auto releaseShift = qScopeGuard([] { xdotool({"keyup", "shift"}); });
        m_deliverer->deliverText(deliveredText);
        QTRY_VERIFY_WITH_TIMEOUT(m_log.contains(dispatching), patience);
        QTest::qWait(500);
        QCOMPARE(target.text(), QString());
        releaseShift.dismiss();
        QVERIFY(xdotool({"keyup", "shift"}));
        QTRY_COMPARE_WITH_TIMEOUT(target.text(), deliveredText, patience);
    }
};

QTEST_MAIN(X11DeliveryTest)
#include "tst_x11delivery.moc"
