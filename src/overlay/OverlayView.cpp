#include "overlay/OverlayView.h"

#include "overlay/OverlayFrames.h"

#include <QFontMetricsF>
#include <QPainter>

namespace {

constexpr double horizontalPadding = 10.0;
constexpr double verticalPadding = 4.0;
constexpr double spacing = 8.0;
constexpr double cornerRadius = 16.0;
constexpr double barHeight = 6.0;
constexpr double barCornerRadius = 3.0;

} // namespace

OverlayView::OverlayView(QWidget* parent)
    : QWidget(parent)
    , m_barWidth(0.1, 0.6)
    , m_emojiFont(QStringLiteral("Noto Color Emoji")) {
    m_emojiFont.setPointSize(28);
    m_barWidth.jumpTo(levelBarWidth(0.0f));
    connect(&m_barWidth, &Spring::valueChanged, this, [this] {
        updateShape();
        update();
    });
}

void OverlayView::setContent(OverlayState state, qint64 tick, float volumeLevel) {
    const bool levelChanged = volumeLevel != m_volumeLevel;
    m_state = state;
    m_frame = overlayFrame(state, tick);
    m_volumeLevel = volumeLevel;
    if (state == OverlayState::hidden) {
        // Nothing is drawn, so there is nothing to animate: the next showing starts from the resting bar.
        m_barWidth.jumpTo(levelBarWidth(volumeLevel));
    } else if (levelChanged) {
        m_barWidth.animateTo(levelBarWidth(volumeLevel));
    }
    updateShape();
    update();
}

QRectF OverlayView::pillRect() const {
    if (m_state == OverlayState::hidden) {
        return {};
    }
    const QFontMetricsF metrics(m_emojiFont);
    double contentWidth = metrics.horizontalAdvance(m_frame);
    if (m_state == OverlayState::recording) {
        contentWidth += spacing + m_barWidth.value();
    }
    const QSizeF size(contentWidth + 2 * horizontalPadding, metrics.height() + 2 * verticalPadding);
    // The pill keeps its own size and sits at the window's left edge, so it grows away from the pointer.
    return QRectF(QPointF(0.0, (height() - size.height()) / 2.0), size);
}

QPainterPath OverlayView::pillShape() const {
    QPainterPath path;
    const QRectF rect = pillRect();
    if (!rect.isEmpty()) {
        path.addRoundedRect(rect, cornerRadius, cornerRadius);
    }
    return path;
}

void OverlayView::updateShape() {
    emit pillShapeChanged(pillShape());
}

void OverlayView::paintEvent(QPaintEvent*) {
    const QRectF pill = pillRect();
    if (pill.isEmpty()) {
        return;
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 51));
    painter.drawPath(pillShape());

    const QFontMetricsF metrics(m_emojiFont);
    const QRectF content =
        pill.adjusted(horizontalPadding, verticalPadding, -horizontalPadding, -verticalPadding);
    const QRectF emoji(content.topLeft(), QSizeF(metrics.horizontalAdvance(m_frame), content.height()));
    painter.setFont(m_emojiFont);
    painter.setPen(Qt::white);
    painter.drawText(emoji, Qt::AlignCenter, m_frame);

    if (m_state == OverlayState::recording) {
        const QRectF bar(emoji.right() + spacing, content.center().y() - barHeight / 2.0, m_barWidth.value(),
                         barHeight);
        QColor red(255, 59, 48);
        red.setAlphaF(0.85f);
        painter.setBrush(red);
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(bar, barCornerRadius, barCornerRadius);
    }
}
