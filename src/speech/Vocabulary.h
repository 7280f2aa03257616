#pragma once

#include <QString>
#include <QStringList>

#include <functional>

/// How many tokens a Whisper prompt may hold: half of the model's text context of 448. whisper.cpp keeps only
/// the last ones of a longer prompt, which would drop the user's first entries instead of the last.
inline constexpr int vocabularyPromptTokens = 224;

/// The words and phrases of the vocabulary setting: its lines, trimmed, without empty ones.
QStringList vocabularyEntries(const QString& vocabulary);

/// The leading entries joined into one prompt, as many as fit in limit tokens; the rest are dropped.
struct VocabularyPrompt {
    QString text;
    qsizetype entriesKept = 0;
};
VocabularyPrompt vocabularyPrompt(const QStringList& entries,
                                  const std::function<int(const QString&)>& tokens,
                                  int limit = vocabularyPromptTokens);

/// A token count for where no model's tokenizer is at hand. It errs high for the names and jargon that a
/// vocabulary holds, which the tokenizer splits into pieces of about three characters.
int estimatedTokens(const QString& text);
