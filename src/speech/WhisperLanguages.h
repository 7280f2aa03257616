#pragma once

#include <QString>

#include <optional>

/// The code Whisper knows the language of a locale identifier ("de-DE", "en_US", "pt") by, which is its
/// ISO 639-1 code for all but a few languages; nothing when Whisper does not know the language.
std::optional<QString> whisperLanguage(const QString& localeIdentifier);

/// The Dictation Language setting that lets Whisper find out the language of each recording by itself.
/// Other engines know no such locale, and so fall back to US English.
inline const QString automaticLanguage = QStringLiteral("auto");
