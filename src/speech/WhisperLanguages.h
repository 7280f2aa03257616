#pragma once

#include <QString>

#include <optional>

/// The code Whisper knows the language of a locale identifier ("de-DE", "en_US", "pt") by, which is its
/// ISO 639-1 code for all but a few languages; nothing when Whisper does not know the language.
std::optional<QString> whisperLanguage(const QString& localeIdentifier);
