#include "fakes/TestAppState.h"
#include "overlay/OverlayFrames.h"
#include "overlay/OverlayView.h"
#include "overlay/OverlayWindowController.h"

#include <QTest>

namespace {

const QString red = QStringLiteral("\U0001F534");
const QString black = QStringLiteral("\u26AB");
const QString flowing = QStringLiteral("\u23F3");
const QString empty = QStringLiteral("\u231B");

} // namespace

class TestOverlay : public QObject {
    Q_OBJECT

private slots:
    void framesAndBarWidth() {
        const std::tuple<OverlayState, qint64, QString> frames[] = {
            {OverlayState::recording, 7, red},     {OverlayState::recording, 8, black},
            {OverlayState::recording, 16, red},    {OverlayState::processing, 11, flowing},
            {OverlayState::processing, 12, empty}, {OverlayState::processing, 24, flowing},
            {OverlayState::hidden, 5, QString()},
        };
        for (const auto& [state, tick, frame] : frames)
            QCOMPARE(overlayFrame(state, tick), frame);
        QCOMPARE(levelBarWidth(0.05f), 6.0);
        QCOMPARE(levelBarWidth(0.5f), 30.0);
        QCOMPARE(levelBarWidth(1.0f), 60.0);
    }

    void onlyRecordingDrawsABarAndOnlyALevelChangeAnimatesIt() {
        OverlayView view;
        view.resize(140, 60);
        view.setContent(OverlayState::processing, 0, 0.8f);
        const double processingWidth = view.pillShape().boundingRect().width();
        view.setContent(OverlayState::hidden, 0, 0.8f);
        QVERIFY(view.pillShape().isEmpty());
        view.setContent(OverlayState::recording, 0, 0.8f);
        QTRY_VERIFY_WITH_TIMEOUT(!view.barSpring().isRunning(), 10000);
        QCOMPARE(view.barWidth(), levelBarWidth(0.8f));
        // The hourglass and the circle are about as wide; the bar and its spacing make the difference.
        const QRectF pill = view.pillShape().boundingRect();
        QVERIFY(pill.width() > processingWidth + 50 && pill.height() <= 60 && pill.right() <= 140);

        view.setContent(OverlayState::recording, 1, 0.8f);
        QVERIFY(!view.barSpring().isRunning());
        QList<double> widths;
        connect(&view.barSpring(), &Spring::valueChanged, this, [&](double width) { widths.append(width); });
        view.setContent(OverlayState::recording, 2, 0.2f);
        QVERIFY(view.barSpring().isRunning());
        QCOMPARE(view.barWidth(), levelBarWidth(0.8f));
        QTRY_VERIFY_WITH_TIMEOUT(!view.barSpring().isRunning(), 10000);
        QCOMPARE(view.barWidth(), levelBarWidth(0.2f));
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
        QVERIFY(highest > 100.0 && highest < 130.0);
    }

    void controllerFollowsThePointerWhileShown() {
        TestAppState app;
        QPoint pointer(300, 200);
        OverlayWindowController overlay(app.state, [&] { return pointer; });
        QCOMPARE(overlay.window().size(), QSize(140, 60));
        QVERIFY(overlay.window().windowFlags().testFlag(Qt::WindowTransparentForInput));
        QVERIFY(overlay.window().windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        app.state.setVolumeLevel(0.5f);
        overlay.show(OverlayState::recording);
        QCOMPARE(overlay.tick(), qint64(0));
        QTRY_VERIFY_WITH_TIMEOUT(overlay.window().isVisible(), 10000);
        QCOMPARE(overlay.window().pos(), QPoint(316, 240));
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
        QCOMPARE(overlay.view().barWidth(), 6.0);
        QTest::qWait(300);
        QVERIFY(!overlay.window().isVisible());
    }

    void controllerDrawsSilenceOnceItsStateIsGone() {
        auto app = std::make_unique<TestAppState>();
        app->state.setVolumeLevel(1.0f);
        OverlayWindowController overlay(app->state, [] { return QPoint(10, 10); });
        overlay.show(OverlayState::recording);
        QTRY_COMPARE_WITH_TIMEOUT(overlay.view().barWidth(), 60.0, 10000);
        app.reset();
        QTRY_COMPARE_WITH_TIMEOUT(overlay.view().barWidth(), 6.0, 10000);
        QVERIFY(overlay.isTicking());
    }
};

QTEST_MAIN(TestOverlay)
#include "tst_overlay.moc"
