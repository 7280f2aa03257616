#include "overlay/OverlayWindowController.h"

#include "core/AppState.h"
#include "overlay/OverlayView.h"
#include "platform/OverlaySurface.h"

#include <QCursor>
#include <QRegion>

namespace {

constexpr QSize windowSize(140, 60);
constexpr QPoint offsetFromPointer(16, 40);
constexpr int tickMilliseconds = 100;

} // namespace

OverlayWindowController::OverlayWindowController(AppState& state, PointerPosition pointerPosition,
                                                 OverlaySurface* surface)
    : m_appState(&state)
    , m_pointerPosition(pointerPosition ? std::move(pointerPosition) : [] { return QCursor::pos(); })
    , m_surface(surface)
    // Bypassing the window manager keeps the window free of a frame that would catch clicks, off the task
    // bar and on every desktop; input transparency lets clicks through to the window below.
    , m_window(std::make_unique<QWidget>(nullptr,
                                         Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                             Qt::X11BypassWindowManagerHint | Qt::WindowTransparentForInput |
                                             Qt::WindowDoesNotAcceptFocus))
    , m_view(new OverlayView(m_window.get())) {
    m_window->setAttribute(Qt::WA_TranslucentBackground);
    m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    m_window->setFixedSize(windowSize);
    m_view->setGeometry(QRect(QPoint(0, 0), windowSize));
    // Without a compositor the transparent parts of the window would show black: the window is cut to the
    // pill instead.
    connect(m_view, &OverlayView::pillShapeChanged, m_window.get(), [this](const QPainterPath& shape) {
        m_window->setMask(shape.isEmpty() ? QRegion(0, 0, 1, 1) : QRegion(shape.toFillPolygon().toPolygon()));
    });
    m_view->setContent(OverlayState::hidden, 0, 0.0f);

    m_timer.setInterval(tickMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // Queued behind whatever the main thread has waiting, like any other redraw.
        QMetaObject::invokeMethod(this, &OverlayWindowController::refresh, Qt::QueuedConnection);
    });

    const auto follow = [this](RecordingState recordingState) {
        const OverlayState state = overlayStateFor(recordingState);
        if (state == OverlayState::hidden) {
            hide();
        } else {
            show(state);
        }
    };
    connect(&state, &AppState::recordingStateChanged, this, follow);
    follow(state.recordingState());
}

OverlayWindowController::~OverlayWindowController() = default;

void OverlayWindowController::show(OverlayState state) {
    m_currentState = state;
    m_tick = 0;
    // Restarting leaves exactly one timer, also when processing follows recording directly.
    m_timer.start();
}

void OverlayWindowController::hide() {
    m_currentState = OverlayState::hidden;
    m_timer.stop();
    m_window->hide();
    if (m_surface) {
        m_surface->hide();
    }
    m_view->setContent(OverlayState::hidden, 0, 0.0f);
}

void OverlayWindowController::refresh() {
    if (!m_surface) {
        m_window->move(m_pointerPosition() + offsetFromPointer);
    }
    ++m_tick;
    const float level = m_appState ? m_appState->volumeLevel() : 0.0f;
    m_view->setContent(m_currentState, m_tick, level);
    if (m_surface && m_currentState != OverlayState::hidden) {
        QImage frame(windowSize, QImage::Format_ARGB32_Premultiplied);
        frame.fill(Qt::transparent);
        m_view->render(&frame, QPoint(), QRegion(), QWidget::DrawChildren);
        m_surface->show(frame);
        return;
    }
    // The window first appears here, already in place and drawn, rather than when shown: an empty window
    // would flash black where nothing composites it.
    if (m_currentState == OverlayState::hidden) {
        return;
    }
    m_window->show();
    // The window manager does not stack this window, so it is lifted above windows opened since.
    m_window->raise();
}
