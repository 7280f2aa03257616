#include "platform/linux/TranscriptionServerRecognizer.h"

#include "core/WebRequest.h"
#include "platform/linux/AudioFileDecoder.h"
#include "platform/linux/WaveFile.h"

#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QThreadPool>

#include <algorithm>

namespace {

using ResultHandler = SpeechRecognizer::ResultHandler;

RecognitionUpdate failure(const QString& description) {
    RecognitionUpdate update;
    update.error = description;
    return update;
}

// Servers put Whisper's spacing around the text, such as a leading blank or a closing newline.
RecognitionUpdate transcription(const QByteArray& body) {
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonValue text = document.object().value(QLatin1String("text"));
    if (!text.isString()) {
        return failure(QStringLiteral("the transcription server's reply holds no text"));
    }
    RecognitionUpdate update;
    update.text = text.toString().trimmed();
    update.isFinal = true;
    return update;
}

void report(const std::weak_ptr<ResultHandler>& weakHandler, const RecognitionUpdate& update) {
    if (const std::shared_ptr<ResultHandler> handler = weakHandler.lock()) {
        (*handler)(update);
    }
}

QHttpPart formField(const QByteArray& disposition, const QByteArray& value) {
    QHttpPart part;
    part.setHeader(QNetworkRequest::ContentDispositionHeader, QByteArray("form-data; " + disposition));
    part.setBody(value);
    return part;
}

} // namespace

TranscriptionServerRecognizer::TranscriptionServerRecognizer(Server server, QString language,
                                                             QNetworkAccessManager& network,
                                                             QThreadPool& workers, QObject& mainThread)
    : m_server(std::move(server))
    , m_language(std::move(language))
    , m_network(network)
    , m_workers(workers)
    , m_mainThread(mainThread) {}

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
    auto owned = std::make_shared<ResultHandler>(std::move(handler));
    m_handlers.push_back(owned);
    std::weak_ptr<ResultHandler> weakHandler = owned;

    m_workers.start([this, path = audioFilePath(url), weakHandler, mainThread = &m_mainThread] {
        QByteArray samples;
        const auto consume = [&samples](std::span<const std::int16_t> decoded) {
            samples.append(reinterpret_cast<const char*>(decoded.data()),
                           static_cast<qsizetype>(decoded.size_bytes()));
        };
        const auto stillWanted = [&weakHandler] { return !weakHandler.expired(); };
        const std::optional<QString> decodingError = decodeAudioFile(path, consume, stillWanted);
        const QByteArray wave = decodingError ? QByteArray() : waveFile(samples);
        QMetaObject::invokeMethod(
            mainThread,
            [this, weakHandler, decodingError, wave] {
                // The handlers live as long as the recogniser, on this thread: a live handler means a live
                // recogniser.
                if (weakHandler.expired()) {
                    return;
                }
                if (decodingError) {
                    report(weakHandler, failure(*decodingError));
                } else {
                    send(wave, weakHandler);
                }
            },
            Qt::QueuedConnection);
    });
}

void TranscriptionServerRecognizer::send(const QByteArray& wave,
                                         const std::weak_ptr<ResultHandler>& handler) {
    // Anything but a web address could make the network access manager read or write local files.
    if (!isAvailable()) {
        report(handler, failure(QStringLiteral("the transcription server's address is not a web address")));
        return;
    }
    auto form = std::make_unique<QHttpMultiPart>(QHttpMultiPart::FormDataType);
    QHttpPart file = formField(R"(name="file"; filename="recording.wav")", wave);
    file.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("audio/wav"));
    form->append(file);
    form->append(formField(R"(name="model")", m_server.model.toUtf8()));
    form->append(formField(R"(name="language")", m_language.toUtf8()));
    form->append(formField(R"(name="response_format")", QByteArrayLiteral("json")));

    QNetworkReply* reply =
        m_network.post(isolatedWebRequest(m_server.endpoint, m_server.answerTimeout), form.get());
    form.release()->setParent(reply);
    std::erase_if(m_replies, [](const QPointer<QNetworkReply>& earlier) { return earlier.isNull(); });
    m_replies.emplace_back(reply);

    abandonOversizedReply(*reply, [handler] {
        report(handler, failure(QStringLiteral("the transcription server's reply is too large")));
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, handler] {
        report(handler,
               webExchangeFailed(*reply) ? failure(reply->errorString()) : transcription(reply->readAll()));
    });
}
