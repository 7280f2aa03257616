#pragma once

#include "overlay/OverlayWindow.h"

#include <QString>
#include <QStringList>

/// The recording blink: red twice, black twice, one entry per four ticks.
const QStringList& recordingFrames();

/// The processing hourglass: three of the flowing one, three of the empty one, one entry per four ticks.
const QStringList& processingFrames();

/// The emoji shown at this tick; empty for hidden.
QString overlayFrame(OverlayState state, qint64 tick);

/// How wide the level bar is for an input level in 0..1: it never shrinks below a 6-pixel dot.
double levelBarWidth(float volumeLevel);
