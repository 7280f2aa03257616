#include "overlay/OverlayFrames.h"

#include <algorithm>

const QStringList& recordingFrames() {
    static const QStringList frames = {
        QStringLiteral("\U0001F534"),
        QStringLiteral("\U0001F534"),
        QStringLiteral("\u26AB"),
        QStringLiteral("\u26AB"),
    };
    return frames;
}

const QStringList& processingFrames() {
    static const QStringList frames = {
        QStringLiteral("\u23F3"), QStringLiteral("\u23F3"), QStringLiteral("\u23F3"),
        QStringLiteral("\u231B"), QStringLiteral("\u231B"), QStringLiteral("\u231B"),
    };
    return frames;
}

QString overlayFrame(OverlayState state, qint64 tick) {
    if (state == OverlayState::hidden) {
        return {};
    }
    const QStringList& frames = state == OverlayState::recording ? recordingFrames() : processingFrames();
    return frames.at((tick / 4) % frames.size());
}

double levelBarWidth(float volumeLevel) {
    return std::max(static_cast<double>(volumeLevel) * 60.0, 6.0);
}
