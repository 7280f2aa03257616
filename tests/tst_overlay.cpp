#include "fakes/TestAppState.h"
#include "overlay/OverlayFrames.h"
#include "overlay/OverlayView.h"
#include "overlay/OverlayWindowController.h"

#include <QTest>

namespace {

const QString red = QStringLiteral("\U0001F534");
const QString flowing = QStringLiteral("\u23F3");
constexpr int patience = 10000;

} // namespace

class TestOverlay : public QObject {
    Q_OBJECT

private slots:
    void framesAndBarWidth() {
        const std::tuple<OverlayState, qint64, QString> frames[] = {
            {OverlayState::recording, 7, red},
            {OverlayState::recording, 8, QStringLiteral("\u26AB")},
            {OverlayState::recording, 16, red},
            {OverlayState::processing, 11, flowing},
            {OverlayState::processing, 12, QStringLiteral("\u231B")},
            {OverlayState::processing, 24, flowing},
            {OverlayState::hidden, 5, QString()},
        };
        for (const auto& [state, tick, frame] : frames) {
            QCOMPARE(overlayFrame(state, tick), frame);
        }
        QCOMPARE(levelBarWidth(0.05f), 6.0);
        QCOMPARE(levelBarWidth(0.5f), 30.0);
    }

    void onlyALevelChangeAnimatesTheBarAndOnlyRecordingDrawsIt() {
        OverlayView view;
        view.resize(140, 60);
        view.setContent(OverlayState::processing, 0, 0.8f);
        const double processingWidth = view.pillShape().boundingRect().width();
        view.setContent(OverlayState::hidden, 0, 0.8f);
        QVERIFY(view.pillShape().isEmpty());
        view.setContent(OverlayState::recording, 0, 0.8f);
        QTRY_VERIFY_WITH_TIMEOUT(!view.barSpring().isRunning(), patience);
        QCOMPARE(view.barWidth(), levelBarWidth(0.8f));
        const QRectF pill = view.pillShape().boundingRect();
        QVERIFY(pill.width() > processingWidth + 50 && pill.height() <= 60 && pill.right() <= 140);

        view.setContent(OverlayState::recording, 1, 0.8f);
        QVERIFY(!view.barSpring().isRunning());
        view.setContent(OverlayState::recording, 2, 0.2f);
        QVERIFY(view.barSpring().isRunning());
        QCOMPARE(view.barWidth(), levelBarWidth(0.8f)); // moves from where it was, not by a jump
        QTRY_VERIFY_WITH_TIMEOUT(!view.barSpring().isRunning(), patience);
        QCOMPARE(view.barWidth(), levelBarWidth(0.2f));
    }

    // Nobody shows or hides the overlay: it follows the dictation's state from the moment AppState makes it.
    void followsTheDictationAndThePointer() {
        QPoint pointer(300, 200);
        OverlayWindowController* overlay = nullptr;
        TestAppState app([&](AppState& state) {
            auto made = std::make_unique<OverlayWindowController>(state, [&] { return pointer; });
            overlay = made.get();
            return made;
        });
        app.state.setVolumeLevel(0.5f);
        app.state.setRecordingState(RecordingState::recording);
        QVERIFY(overlay);
        QCOMPARE(overlay->currentState(), OverlayState::recording);
        QVERIFY(overlay->window().windowFlags().testFlags(Qt::WindowTransparentForInput |
                                                          Qt::WindowDoesNotAcceptFocus));
        QTRY_VERIFY_WITH_TIMEOUT(overlay->window().isVisible(), patience);
        QCOMPARE(overlay->window().pos(), QPoint(316, 240));
        QCOMPARE(overlay->view().frame(), red);
        QTRY_COMPARE_WITH_TIMEOUT(overlay->view().barWidth(), 30.0, patience);
        pointer = QPoint(900, 10);
        QTRY_COMPARE_WITH_TIMEOUT(overlay->window().pos(), QPoint(916, 50), patience);

        // Processing straight after recording starts its animation from the beginning.
        QTRY_VERIFY_WITH_TIMEOUT(overlay->tick() >= 8, patience);
        app.state.setRecordingState(RecordingState::processing);
        QCOMPARE(overlay->currentState(), OverlayState::processing);
        QCOMPARE(overlay->tick(), qint64(0));
        QTRY_COMPARE_WITH_TIMEOUT(overlay->view().frame(), flowing, patience);

        app.state.setRecordingState(RecordingState::idle);
        QCOMPARE(overlay->currentState(), OverlayState::hidden);
        QVERIFY(!overlay->isTicking() && !overlay->window().isVisible());
        QTest::qWait(300);
        QVERIFY(!overlay->window().isVisible());
    }

    void drawsSilenceOnceItsStateIsGone() {
        auto app = std::make_unique<TestAppState>();
        app->state.setVolumeLevel(1.0f);
        app->state.setRecordingState(RecordingState::recording);
        OverlayWindowController overlay(app->state, [] { return QPoint(10, 10); });
        QTRY_COMPARE_WITH_TIMEOUT(overlay.view().barWidth(), 60.0, patience);
        app.reset();
        QTRY_COMPARE_WITH_TIMEOUT(overlay.view().barWidth(), 6.0, patience);
        QVERIFY(overlay.isTicking());
    }
};

QTEST_MAIN(TestOverlay)
#include "tst_overlay.moc"
