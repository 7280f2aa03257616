#pragma once

#include "core/DictationMode.h"

#include <QString>

#include <optional>

class AppState;

/// Follows every mode's prompt: punctuation, filler words and self-corrections.
extern const char* const TextProcessingGuidelines;

/// Introduces the banned words; they follow its final space directly.
extern const char* const BannedWordsRule;

/// The system prompt of a mode, or nothing for literal, which never reaches the model.
std::optional<QString> promptTableEntry(DictationMode mode);

/// The mode's prompt, an empty line, the guidelines and, when the filter applies, the banned-words rule
/// followed by the list without its outer white space.
QString composeSystemPrompt(DictationMode mode, bool isBannedWordsEnabled, const QString& bannedWords);

/// Reads the banned-words settings at the moment of the call.
QString composeSystemPrompt(const AppState& state, DictationMode mode);
