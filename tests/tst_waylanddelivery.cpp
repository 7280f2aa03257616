#include "fakes/TerminalLikeEdit.h"
#include "log/Log.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "platform/wayland/FocusedApplication.h"
#include "platform/wayland/LayerShellOverlay.h"
#include "platform/wayland/VirtualKeyboard.h"
#include "platform/wayland/VirtualKeyboardPaste.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeyboardEvents.h"

#include <QApplication>
#include <QProcess>
#include <QTest>

#include <memory>

namespace {

constexpr int patience = 20000;
const QString deliveredText = QStringLiteral("Grüße aus Köln, 世界 🎤 — <b>ok</b>");

QString wlPaste() {
    QProcess paste;
    paste.start(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline")});
    return paste.waitForFinished(patience) ? QString::fromUtf8(paste.readAllStandardOutput()) : QString();
}

/// A text field of either toolkit that has the keyboard focus once sway has mapped it.
class Target {
public:
    Target(const QString& toolkit, const QString& appId) {
        if (toolkit == QLatin1String("GTK 3")) {
            m_gtk.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("GDK_BACKEND"), QStringLiteral("wayland"));
            environment.insert(QStringLiteral("NO_AT_BRIDGE"), QStringLiteral("1"));
            m_gtk.setProcessEnvironment(environment);
            m_gtk.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(GTK_TARGET)});
            return;
        }
        QGuiApplication::setDesktopFileName(appId);
        m_qt = toolkit == QLatin1String("Qt terminal") ? std::make_unique<TerminalLikeEdit>()
                                                       : std::make_unique<QLineEdit>();
        m_qt->show();
    }
    ~Target() {
        m_gtk.kill();
        m_gtk.waitForFinished();
    }

    QString text() {
        if (m_qt) {
            return m_qt->text();
        }
        while (m_gtk.canReadLine()) {
            const QString line = QString::fromUtf8(m_gtk.readLine()).chopped(1);
            if (line.startsWith(QLatin1String("text:"))) {
                m_gtkText = line.mid(5);
            }
        }
        return m_gtkText;
    }

private:
    std::unique_ptr<QLineEdit> m_qt;
    QProcess m_gtk;
    QString m_gtkText;
};

} // namespace

// Delivery into Wayland-native windows of a headless sway: the clipboard through data-control, the paste
// typed on the program's virtual keyboard, into Qt windows of this test and a GTK 3 window of a helper, with
// the overlay shown on the layer shell meanwhile.
class TestWaylandDelivery : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("wayland") ||
            qEnvironmentVariableIsEmpty("SWAYSOCK")) {
            QSKIP("needs the headless sway of scripts/with-test-wayland.sh");
        }
        m_connection = WaylandConnection::connect();
        QVERIFY(m_connection && m_connection->hasGlobal("zwlr_data_control_manager_v1"));
        QVERIFY(DataControlPasteboard::isSupported(true));
        std::vector<std::unique_ptr<PasteMethod>> methods;
        methods.push_back(std::make_unique<VirtualKeyboardPaste>(VirtualKeyboard::create(m_connection)));
        QVERIFY(methods.front()->isAvailable());
        m_keyboard = std::make_unique<WaylandKeyboardEvents>(
            std::move(methods),
            WaylandKeyboardEvents::Hooks{[] { return false; }, focusedApplicationId,
                                         [this](const QString& line) { m_told << line; }},
            std::chrono::milliseconds(1000));
        m_overlay = LayerShellOverlay::create(m_connection);
        QVERIFY(m_overlay);
        setLogSink([this](const QString& line) { m_log << line; });
    }
    void cleanupTestCase() {
        setLogSink({});
        m_overlay.reset();
        m_keyboard.reset();
        m_connection.reset();
    }

    void clipboardStaysAndPasteArrives_data() {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("logged");
        QTest::newRow("Qt") << "murmuro-qt-target"
                            << "Pasted with Ctrl+V through the virtual keyboard";
        QTest::newRow("Qt terminal") << "foot"
                                     << "Pasted with Ctrl+Shift+V through the virtual keyboard";
        QTest::newRow("GTK 3") << "murmuro-gtk-target"
                               << "Pasted with Ctrl+V through the virtual keyboard";
    }
    void clipboardStaysAndPasteArrives() {
        QFETCH(QString, appId);
        DataControlPasteboard clipboard;
        clipboard.clearContents();
        clipboard.setString(deliveredText);
        QTRY_COMPARE_WITH_TIMEOUT(wlPaste(), deliveredText, patience);

        Target target(QString::fromLatin1(QTest::currentDataTag()), appId);
        QTRY_COMPARE_WITH_TIMEOUT(focusedApplicationId().value_or(QString()), appId, patience);
        // The overlay floats above the target meanwhile, without taking its focus.
        QImage pill(140, 60, QImage::Format_ARGB32_Premultiplied);
        pill.fill(Qt::red);
        m_overlay->show(pill);
        QTest::qWait(300);
        m_log.clear();
        m_keyboard->postPasteKeystroke();
        QTRY_COMPARE_WITH_TIMEOUT(target.text(), deliveredText, patience);
        QTEST(m_log.join(u'\n'), "logged");
        QCOMPARE(wlPaste(), deliveredText);
        QVERIFY(m_told.isEmpty());
        QCOMPARE(focusedApplicationId().value_or(QString()), appId);
        m_overlay->hide();
    }

private:
    std::shared_ptr<WaylandConnection> m_connection;
    std::unique_ptr<WaylandKeyboardEvents> m_keyboard;
    std::unique_ptr<LayerShellOverlay> m_overlay;
    QStringList m_log;
    QStringList m_told;
};

QTEST_MAIN(TestWaylandDelivery)
#include "tst_waylanddelivery.moc"
