#include "speech/server/TranscriptionServerRecognizer.h"

#include "net/WebRequest.h"
#include "speech/AudioFileDecoder.h"
#include "speech/server/TranscriptionReply.h"
#include "speech/server/WaveFile.h"

#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include <algorithm>

namespace {

QHttpPart formField(const QByteArray& disposition, const QByteArray& value) {
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader, QByteArray("form-data; " + disposition));
    part.setBody(value);
    return part;
}

} // namespace

TranscriptionServerRecognizer::TranscriptionServerRecognizer(Server server, QString language,
                                                             QNetworkAccessManager& network,
                                                             RecognitionThreads& threads)
    : m_server(std::move(server))
    , m_language(std::move(language))
    , m_network(network)
    , m_jobs(threads) {}

TranscriptionServerRecognizer::~TranscriptionServerRecognizer() {
    for (const QPointer<QNetworkReply>& reply : m_replies) {
        if (reply) {
            QObject::disconnect(reply, nullptr, reply, nullptr);
            reply->abort();
        }
    }
}

bool TranscriptionServerRecognizer::isAvailable() const {
    return isWebServerUrl(m_server.endpoint);
}

void TranscriptionServerRecognizer::recognizeFile(const QString& url, ResultHandler handler) {
    const RecognitionJob job = m_jobs.add(std::move(handler));
    m_jobs.runOnWorker([this, path = audioFilePath(url), job] {
        QByteArray samples;
        const auto consume = [&samples](std::span<const std::int16_t> decoded) {
            samples.append(reinterpret_cast<const char*>(decoded.data()),
                           static_cast<qsizetype>(decoded.size_bytes()));
        };
        const std::optional<QString> decodingError =
            decodeAudioFile(path, consume, [&job] { return job.stillWanted(); });
        if (decodingError) {
            job.report(RecognitionResult::failure(*decodingError));
            return;
        }
        // A wanted job means a live recogniser: both are let go only on the main thread.
        job.onMainThread([this, wave = waveFile(samples), job] { send(wave, job); });
    });
}

void TranscriptionServerRecognizer::send(const QByteArray& wave, const RecognitionJob& job) {
    // Anything but a web address could make the network access manager read or write local files.
    if (!isAvailable()) {
        job.report(RecognitionResult::failure(
            QStringLiteral("the transcription server's address is not a web address")));
        return;
    }
    auto form = std::make_unique<QHttpMultiPart>(QHttpMultiPart::FormDataType);
    QHttpPart file = formField(R"(name="file"; filename="recording.wav")", wave);
    file.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("audio/wav"));
    form->append(file);
    form->append(formField(R"(name="model")", m_server.model.toUtf8()));
    form->append(formField(R"(name="language")", m_language.toUtf8()));
    if (!m_server.prompt.isEmpty()) {
        form->append(formField(R"(name="prompt")", m_server.prompt.toUtf8()));
    }
    form->append(formField(R"(name="response_format")", QByteArrayLiteral("json")));

    QNetworkReply* reply =
        m_network.post(isolatedWebRequest(m_server.endpoint, m_server.answerTimeout), form.get());
    form.release()->setParent(reply);
    std::erase_if(m_replies, [](const QPointer<QNetworkReply>& earlier) { return earlier.isNull(); });
    m_replies.emplace_back(reply);

    abandonOversizedReply(*reply, [job] {
        job.report(
            RecognitionResult::failure(QStringLiteral("the transcription server's reply is too large")));
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, job] {
        job.report(webExchangeFailed(*reply) ? RecognitionResult::failure(reply->errorString())
                                             : transcriptionReply(reply->readAll()));
    });
}
