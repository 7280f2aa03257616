#include "speech/WhisperLanguages.h"

#include <QSet>

namespace {

// The languages of Whisper's tokenizer. Cantonese and Hawaiian have no two-letter code, and Javanese goes
// by "jw" there.
const QSet<QString>& whisperLanguages() {
    static const QSet<QString> languages = {
        "af", "am", "ar", "as", "az", "ba", "be", "bg", "bn",  "bo", "br", "bs", "ca", "cs", "cy",
        "da", "de", "el", "en", "es", "et", "eu", "fa", "fi",  "fo", "fr", "gl", "gu", "ha", "haw",
        "he", "hi", "hr", "ht", "hu", "hy", "id", "is", "it",  "ja", "jw", "ka", "kk", "km", "kn",
        "ko", "la", "lb", "ln", "lo", "lt", "lv", "mg", "mi",  "mk", "ml", "mn", "mr", "ms", "mt",
        "my", "ne", "nl", "nn", "no", "oc", "pa", "pl", "ps",  "pt", "ro", "ru", "sa", "sd", "si",
        "sk", "sl", "sn", "so", "sq", "sr", "su", "sv", "sw",  "ta", "te", "tg", "th", "tk", "tl",
        "tr", "tt", "uk", "ur", "uz", "vi", "yi", "yo", "yue", "zh"};
    return languages;
}

// Locales name the language by its own code where Whisper uses another: Norwegian Bokmål (the usual
// Norwegian locale) is Whisper's "no", and Javanese is "jw".
QString whisperSpelling(const QString& language) {
    if (language == QLatin1String("nb")) {
        return QStringLiteral("no");
    }
    if (language == QLatin1String("jv")) {
        return QStringLiteral("jw");
    }
    return language;
}

} // namespace

std::optional<QString> whisperLanguage(const QString& localeIdentifier) {
    // The language comes first and ends where the region, script or encoding begins.
    qsizetype end = 0;
    while (end < localeIdentifier.size() && localeIdentifier[end].isLetter() &&
           localeIdentifier[end].unicode() < 128) {
        ++end;
    }
    const QString language = whisperSpelling(localeIdentifier.left(end).toLower());
    if (!whisperLanguages().contains(language)) {
        return std::nullopt;
    }
    return language;
}
