#include "speech/server/TranscriptionReply.h"

#include <QJsonDocument>
#include <QJsonObject>

// Servers put Whisper's spacing around the text, such as a leading blank or a closing newline.
RecognitionResult transcriptionReply(const QByteArray& body) {
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonValue text = document.object().value(QLatin1String("text"));
    if (!text.isString()) {
        return RecognitionResult::failure(QStringLiteral("the transcription server's reply holds no text"));
    }
    return RecognitionResult::transcript(text.toString().trimmed());
}
