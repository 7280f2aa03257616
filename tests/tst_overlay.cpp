#include "core/AppState.h"
#include "overlay/OverlayFrames.h"
#include "overlay/OverlayView.h"
#include "overlay/OverlayWindowController.h"
#include "platform/null/NullPlatform.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString red = QStringLiteral("\U0001F534");
const QString black = QStringLiteral("\u26AB");
const QString flowing = QStringLiteral("\u23F3");
const QString empty = QStringLiteral("\u231B");

std::unique_ptr<AppState> makeState(QSettings& settings) {
    return std::make_unique<AppState>(settings, QStringLiteral("en_US"),
                                      [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
}

} // namespace

class TestOverlay : public QObject {
    Q_OBJECT

private slots:
    void framesAdvanceEveryFourTicks_data() {
        QTest::addColumn<OverlayState>("state");
        QTest::addColumn<qint64>("tick");
        QTest::addColumn<QString>("frame");
        QTest::newRow("recording 0") << OverlayState::recording << qint64(0) << red;
        QTest::newRow("recording 7") << OverlayState::recording << qint64(7) << red;
        QTest::newRow("recording 8") << OverlayState::recording << qint64(8) << black;
        QTest::newRow("recording 15") << OverlayState::recording << qint64(15) << black;
        QTest::newRow("recording 16") << OverlayState::recording << qint64(16) << red;
        QTest::newRow("processing 0") << OverlayState::processing << qint64(0) << flowing;
        QTest::newRow("processing 11") << OverlayState::processing << qint64(11) << flowing;
        QTest::newRow("processing 12") << OverlayState::processing << qint64(12) << empty;
        QTest::newRow("processing 23") << OverlayState::processing << qint64(23) << empty;
        QTest::newRow("processing 24") << OverlayState::processing << qint64(24) << flowing;
        QTest::newRow("hidden") << OverlayState::hidden << qint64(5) << QString();
    }

    void framesAdvanceEveryFourTicks() {
        QFETCH(OverlayState, state);
        QFETCH(qint64, tick);
        QTEST(overlayFrame(state, tick), "frame");
    }

    void barIsAtLeastADot() {
        QCOMPARE(levelBarWidth(0.0f), 6.0);
        QCOMPARE(levelBarWidth(0.05f), 6.0);
        QCOMPARE(levelBarWidth(0.5f), 30.0);
        QCOMPARE(levelBarWidth(1.0f), 60.0);
    }

    void onlyRecordingDrawsABar() {
        OverlayView view;
        view.resize(140, 60);
        view.setContent(OverlayState::processing, 0, 0.9f);
        const double processingWidth = view.pillShape().boundingRect().width();
        view.setContent(OverlayState::hidden, 0, 0.9f);
        QVERIFY(view.pillShape().isEmpty());
        view.setContent(OverlayState::recording, 0, 0.9f);
        QTRY_VERIFY_WITH_TIMEOUT(!view.barSpring().isRunning(), 10000);
        // The hourglass and the circle are about as wide; the bar and its spacing make the difference.
        QVERIFY(view.pillShape().boundingRect().width() > processingWidth + 50);
        QVERIFY(view.pillShape().boundingRect().height() <= 60);
        QVERIFY(view.pillShape().boundingRect().right() <= 140);
    }

    void springRunsOnlyWhenTheLevelChanges() {
        OverlayView view;
        view.resize(140, 60);
        view.setContent(OverlayState::recording, 0, 0.2f);
        QTRY_VERIFY_WITH_TIMEOUT(!view.barSpring().isRunning(), 10000);
        QCOMPARE(view.barWidth(), levelBarWidth(0.2f));

        view.setContent(OverlayState::recording, 1, 0.2f);
        QVERIFY(!view.barSpring().isRunning());

        QList<double> widths;
        connect(&view.barSpring(), &Spring::valueChanged, this, [&](double width) { widths.append(width); });
        view.setContent(OverlayState::recording, 2, 0.8f);
        QVERIFY(view.barSpring().isRunning());
        QCOMPARE(view.barWidth(), levelBarWidth(0.2f));
        QTRY_VERIFY_WITH_TIMEOUT(!view.barSpring().isRunning(), 10000);
        QCOMPARE(view.barWidth(), levelBarWidth(0.8f));
        // On its way it passed through widths in between rather than jumping.
        QVERIFY(std::any_of(widths.begin(), widths.end(), [](double w) { return w > 12.5 && w < 47.5; }));
    }

    void springSettlesWithAnOvershoot() {
        // A damping fraction below one overshoots a little before it comes to rest.
        Spring spring(0.1, 0.6);
        spring.jumpTo(0.0);
        double highest = 0.0;
        connect(&spring, &Spring::valueChanged, this,
                [&](double value) { highest = std::max(highest, value); });
        spring.animateTo(100.0);
        QTRY_VERIFY_WITH_TIMEOUT(!spring.isRunning(), 10000);
        QCOMPARE(spring.value(), 100.0);
        QVERIFY(highest > 100.0);
        QVERIFY(highest < 130.0);
    }

    void controllerFollowsThePointerWhileShown() {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        auto state = makeState(settings);
        QPoint pointer(300, 200);
        OverlayWindowController overlay(*state, [&] { return pointer; });
        QCOMPARE(overlay.window().size(), QSize(140, 60));
        QVERIFY(overlay.window().windowFlags().testFlag(Qt::WindowTransparentForInput));
        QVERIFY(overlay.window().windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(!overlay.isTicking());
        QVERIFY(!overlay.window().isVisible());

        state->setVolumeLevel(0.5f);
        overlay.show(OverlayState::recording);
        QVERIFY(overlay.isTicking());
        QCOMPARE(overlay.tick(), qint64(0));
        QTRY_VERIFY_WITH_TIMEOUT(overlay.window().isVisible(), 10000);
        QCOMPARE(overlay.window().pos(), QPoint(316, 240));
        QCOMPARE(overlay.view().state(), OverlayState::recording);
        QCOMPARE(overlay.view().frame(), red);
        QTRY_COMPARE_WITH_TIMEOUT(overlay.view().barWidth(), 30.0, 10000);

        pointer = QPoint(900, 10);
        QTRY_COMPARE_WITH_TIMEOUT(overlay.window().pos(), QPoint(916, 50), 10000);

        // Processing straight after recording starts its animation from the beginning.
        QTRY_VERIFY_WITH_TIMEOUT(overlay.tick() >= 8, 10000);
        overlay.show(OverlayState::processing);
        QCOMPARE(overlay.tick(), qint64(0));
        QTRY_COMPARE_WITH_TIMEOUT(overlay.view().state(), OverlayState::processing, 10000);
        QCOMPARE(overlay.view().frame(), flowing);

        overlay.hide();
        QVERIFY(!overlay.isTicking());
        QVERIFY(!overlay.window().isVisible());
        QCOMPARE(overlay.view().state(), OverlayState::hidden);
        QCOMPARE(overlay.view().barWidth(), 6.0);
        QTest::qWait(300);
        QVERIFY(!overlay.window().isVisible());
    }

    void controllerDrawsSilenceOnceItsStateIsGone() {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
        auto state = makeState(settings);
        state->setVolumeLevel(1.0f);
        OverlayWindowController overlay(*state, [] { return QPoint(10, 10); });
        overlay.show(OverlayState::recording);
        QTRY_COMPARE_WITH_TIMEOUT(overlay.view().barWidth(), 60.0, 10000);
        state.reset();
        QTRY_COMPARE_WITH_TIMEOUT(overlay.view().barWidth(), 6.0, 10000);
        QVERIFY(overlay.isTicking());
    }
};

QTEST_MAIN(TestOverlay)
#include "tst_overlay.moc"
