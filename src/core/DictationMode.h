#pragma once

#include <QString>

#include <array>
#include <optional>

/// The thirteen ways a transcript can be handled, in menu order. The raw value is the label the user sees.
enum class DictationMode {
    smart,
    literal,
    gonzo,
    hypeMan,
    cSuite,
    techFounder,
    betterPrompt,
    psychoanalyst,
    journalist,
    hausmeister,
    gherkin,
    zero,
    radio,
};

/// Every mode in declaration order.
const std::array<DictationMode, 13>& allModes();

/// The label, emoji included, that identifies the mode.
QString rawValue(DictationMode mode);

/// The mode whose label is exactly this text, or nothing.
std::optional<DictationMode> modeFromRawValue(const QString& raw);
