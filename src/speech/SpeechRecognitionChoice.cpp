#include "speech/SpeechRecognitionChoice.h"

#include "net/WebRequest.h"
#include "speech/pocketsphinx/PocketsphinxRecognition.h"
#include "speech/server/TranscriptionServerRecognition.h"

#include <QUrl>

std::unique_ptr<SpeechRecognition> chooseSpeechRecognition(const QString& serverUrl, const QString& model) {
    const QString server = serverUrl.trimmed();
    if (!isWebServerUrl(QUrl(server, QUrl::StrictMode))) {
        return std::make_unique<PocketsphinxRecognition>();
    }
    const QString serverModel = model.trimmed();
    return std::make_unique<TranscriptionServerRecognition>(
        server, serverModel.isEmpty() ? QStringLiteral("whisper-1") : serverModel);
}
