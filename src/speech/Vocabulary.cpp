#include "speech/Vocabulary.h"

QStringList vocabularyEntries(const QString& vocabulary) {
    QStringList entries;
    for (const QString& line : vocabulary.split(u'\n')) {
        const QString entry = line.simplified();
        if (!entry.isEmpty()) {
            entries.append(entry);
        }
    }
    return entries;
}

VocabularyPrompt vocabularyPrompt(const QStringList& entries,
                                  const std::function<int(const QString&)>& tokens, int limit) {
    VocabularyPrompt prompt;
    for (const QString& entry : entries) {
        const QString longer = prompt.text.isEmpty() ? entry : prompt.text + QStringLiteral(", ") + entry;
        if (tokens(longer) > limit) {
            break;
        }
        prompt.text = longer;
        ++prompt.entriesKept;
    }
    return prompt;
}

int estimatedTokens(const QString& text) {
    return static_cast<int>((text.size() + 2) / 3);
}
