#pragma once

#include "overlay/OverlayWindow.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class AppState;
class OverlaySurface;
class OverlayView;

/// The floating pill beside the pointer while a dictation records or processes, following the state's
/// recordingState. Its window never takes focus or clicks, floats above everything on every desktop, and
/// follows the pointer on a 0.1 s tick that also advances the animation and reads the input level.
class OverlayWindowController : public QObject, public OverlayWindow {
    Q_OBJECT

public:
    using PointerPosition = std::function<QPoint()>;

    /// The state is held weakly: the controller belongs to it. The pointer position defaults to the cursor's.
    /// With a surface (Wayland), the frames go to it, which floats them at a place of the desktop's choosing,
    /// and the window is never shown.
    explicit OverlayWindowController(AppState& state, PointerPosition pointerPosition = {},
                                     OverlaySurface* surface = nullptr);
    ~OverlayWindowController() override;

    OverlayState currentState() const override { return m_currentState; }

    QWidget& window() { return *m_window; }
    OverlayView& view() { return *m_view; }
    qint64 tick() const { return m_tick; }
    bool isTicking() const { return m_timer.isActive(); }

private:
    void show(OverlayState state);
    void hide();
    void refresh();

    QPointer<AppState> m_appState;
    PointerPosition m_pointerPosition;
    OverlaySurface* m_surface;
    std::unique_ptr<QWidget> m_window;
    OverlayView* m_view;
    QTimer m_timer;
    qint64 m_tick = 0;
    OverlayState m_currentState = OverlayState::hidden;
};
