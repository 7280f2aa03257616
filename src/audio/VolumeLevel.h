#pragma once

#include <algorithm>

/// The meter's reading of an average power in dB relative to full scale: -50 dB and below read 0, 0 dB and
/// above read 1, linearly in between.
inline float volumeLevelForPower(float decibels) {
    return std::clamp((decibels + 50.0f) / 50.0f, 0.0f, 1.0f);
}
