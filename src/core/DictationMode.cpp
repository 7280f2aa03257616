#include "core/DictationMode.h"

const std::array<DictationMode, 13>& allModes() {
    static const std::array<DictationMode, 13> modes = {
        DictationMode::smart,        DictationMode::literal,       DictationMode::gonzo,
        DictationMode::hypeMan,      DictationMode::cSuite,        DictationMode::techFounder,
        DictationMode::betterPrompt, DictationMode::psychoanalyst, DictationMode::journalist,
        DictationMode::hausmeister,  DictationMode::gherkin,       DictationMode::zero,
        DictationMode::radio,
    };
    return modes;
}

QString rawValue(DictationMode mode) {
    switch (mode) {
    case DictationMode::smart:
        return QStringLiteral("Smart \u2728");
    case DictationMode::literal:
        return QStringLiteral("Literal \U0001F4DD");
    case DictationMode::gonzo:
        return QStringLiteral("Gonzo \U0001F335");
    case DictationMode::hypeMan:
        return QStringLiteral("Hype Man \U0001F680");
    case DictationMode::cSuite:
        return QStringLiteral("C-Suite \U0001F454");
    case DictationMode::techFounder:
        return QStringLiteral("Tech Founder \U0001F4BB");
    case DictationMode::betterPrompt:
        return QStringLiteral("Better Prompt \U0001F3AF");
    case DictationMode::psychoanalyst:
        return QStringLiteral("Psychoanalyst \U0001F6CB\uFE0F");
    case DictationMode::journalist:
        return QStringLiteral("Journalist \U0001F4F0");
    case DictationMode::hausmeister:
        return QStringLiteral("Hausmeister \U0001F9F9");
    case DictationMode::gherkin:
        return QStringLiteral("Gherkin \U0001F952");
    case DictationMode::zero:
        return QStringLiteral("Zero \u2699\uFE0F");
    case DictationMode::radio:
        return QStringLiteral("Radio \U0001F399\uFE0F");
    }
    return {};
}

std::optional<DictationMode> modeFromRawValue(const QString& raw) {
    for (DictationMode mode : allModes()) {
        if (rawValue(mode) == raw) {
            return mode;
        }
    }
    return std::nullopt;
}
