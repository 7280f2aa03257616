#pragma once

#include "overlay/OverlayWindow.h"
#include "overlay/Spring.h"

#include <QPainterPath>
#include <QWidget>

/// The pill beside the pointer: the current emoji of the animation and, while recording, a red bar as wide
/// as the input level. Only the bar's width moves smoothly; everything else changes at once.
class OverlayView : public QWidget {
    Q_OBJECT

public:
    explicit OverlayView(QWidget* parent = nullptr);

    void setContent(OverlayState state, qint64 tick, float volumeLevel);

    OverlayState state() const { return m_state; }
    QString frame() const { return m_frame; }
    /// The bar as drawn now, which lags behind the level while the spring moves.
    double barWidth() const { return m_barWidth.value(); }
    const Spring& barSpring() const { return m_barWidth; }
    /// The outline of the pill in this widget's coordinates; empty when hidden.
    QPainterPath pillShape() const;

signals:
    /// The pill changed size; windows without translucency shape themselves to it.
    void pillShapeChanged(const QPainterPath& shape);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRectF pillRect() const;
    void updateShape();

    OverlayState m_state = OverlayState::hidden;
    QString m_frame;
    float m_volumeLevel = 0.0f;
    Spring m_barWidth;
    QFont m_emojiFont;
};
