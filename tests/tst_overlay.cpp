#include "fakes/TestAppState.h"
#include "overlay/OverlayFrames.h"
#include "overlay/OverlayView.h"
#include "overlay/OverlayWindowController.h"

#include <QTest>

constexpr int patience = 10000;

class TestOverlay : public QObject {
    Q_OBJECT

private slots:
    void onlyALevelChangeMovesTheBarAndItMovesSmoothly() {
        OverlayView view;
        view.setContent(OverlayState::recording, 0, 0.8f);
        QTRY_VERIFY_WITH_TIMEOUT(!view.barSpring().isRunning(), patience);
        view.setContent(OverlayState::recording, 1, 0.8f);
        QVERIFY(!view.barSpring().isRunning());
        view.setContent(OverlayState::recording, 2, 0.2f);
        QVERIFY(view.barSpring().isRunning());
        QCOMPARE(view.barWidth(), levelBarWidth(0.8f)); // it sets out from where it was
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
        QVERIFY(overlay && overlay->currentState() == OverlayState::recording);
        QVERIFY(overlay->window().windowFlags().testFlags(Qt::WindowTransparentForInput |
                                                          Qt::WindowDoesNotAcceptFocus));
        QTRY_VERIFY_WITH_TIMEOUT(overlay->window().isVisible(), patience);
        QCOMPARE(overlay->window().pos(), QPoint(316, 240));
        QCOMPARE(overlay->view().frame(), QStringLiteral("\U0001F534"));
        QTRY_COMPARE_WITH_TIMEOUT(overlay->view().barWidth(), 30.0, patience);
        pointer = QPoint(900, 10);
        QTRY_COMPARE_WITH_TIMEOUT(overlay->window().pos(), QPoint(916, 50), patience);

        // Processing straight after recording starts its animation from the beginning.
        QTRY_VERIFY_WITH_TIMEOUT(overlay->tick() >= 8, patience);
        app.state.setRecordingState(RecordingState::processing);
        QVERIFY(overlay->currentState() == OverlayState::processing && overlay->tick() == 0);
        QTRY_COMPARE_WITH_TIMEOUT(overlay->view().frame(), QStringLiteral("\u23F3"), patience);

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
