#include "speech/SpeechRecognitionChoice.h"

#include "net/WebRequest.h"
#include "speech/pocketsphinx/PocketsphinxRecognition.h"
#include "speech/server/TranscriptionServerRecognition.h"
#include "speech/whisper/ModelCatalog.h"
#include "speech/whisper/WhisperModelFile.h"
#include "speech/whisper/WhisperRecognition.h"

#include <QUrl>

namespace {

using Engine = SpeechEnginePlan::Engine;

QString serverModel(const SpeechSettings& settings) {
    const QString model = settings.serverModel.trimmed();
    return model.isEmpty() ? QStringLiteral("whisper-1") : model;
}

} // namespace

QString SpeechEnginePlan::description(const SpeechSettings& settings) const {
    switch (engine) {
    case Engine::server:
        return QStringLiteral("Speech recognition: transcription server %1, model %2")
            .arg(settings.serverUrl.trimmed(), serverModel(settings));
    case Engine::whisper:
        return QStringLiteral("Speech recognition: Whisper, model %1").arg(whisperModelPath);
    case Engine::pocketsphinx:
        break;
    }
    return QStringLiteral("Speech recognition: pocketsphinx, US English");
}

SpeechEnginePlan planSpeechRecognition(const SpeechSettings& settings) {
    SpeechEnginePlan plan;
    if (isWebServerUrl(QUrl(settings.serverUrl.trimmed(), QUrl::StrictMode))) {
        plan.engine = Engine::server;
        return plan;
    }
    plan.whisperModelPath = whisperModelFile(settings.whisperModel);
    plan.whisperProblem = whisperModelFileProblem(plan.whisperModelPath).value_or(QString());
    if (settings.engine == QLatin1String("pocketsphinx")) {
        plan.engine = Engine::pocketsphinx;
    } else if (settings.engine == QLatin1String("whisper") || plan.whisperProblem.isEmpty()) {
        plan.engine = Engine::whisper;
    } else {
        plan.engine = Engine::pocketsphinx;
        plan.whisperWouldHelp = true;
    }
    return plan;
}

std::unique_ptr<SpeechRecognition> createSpeechRecognition(const SpeechEnginePlan& plan,
                                                           const SpeechSettings& settings) {
    switch (plan.engine) {
    case Engine::server:
        return std::make_unique<TranscriptionServerRecognition>(settings.serverUrl.trimmed(),
                                                                serverModel(settings));
    case Engine::whisper:
        return std::make_unique<WhisperRecognition>(plan.whisperModelPath,
                                                    std::chrono::minutes(settings.keepLoadedMinutes));
    case Engine::pocketsphinx:
        break;
    }
    return std::make_unique<PocketsphinxRecognition>();
}
