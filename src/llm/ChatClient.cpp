#include "llm/ChatClient.h"

#include "llm/ChatEndpoint.h"
#include "llm/ChatReply.h"
#include "llm/ModelWarmUp.h"
#include "log/Log.h"
#include "net/WebRequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {

TextResult failure(const QString& sentence, const QString& host) {
    return {std::nullopt, sentence.arg(host)};
}

} // namespace

ChatClient::ChatClient(std::chrono::milliseconds transferTimeout)
    : m_transferTimeout(transferTimeout) {}

ChatClient::~ChatClient() = default;

QNetworkAccessManager& ChatClient::network() {
    // Made for the first request: an idle program that has not dictated yet does not carry it.
    if (!m_network) {
        m_network = std::make_unique<QNetworkAccessManager>();
        m_network->setAutoDeleteReplies(true);
    }
    return *m_network;
}

void ChatClient::loadModel(const QString& host, const QString& model) {
    requestModelLoad(network(), host, model);
}

void ChatClient::rewriteTranscript(const QString& transcript, const QString& systemPrompt,
                                   const QString& host, const QString& model, TextResultHandler done) {
    const std::optional<QUrl> endpoint = chatEndpoint(host);
    if (!endpoint) {
        // Silent on the standard output, like a reply of the wrong shape; the cause is in the debug output.
        qCDebug(lcChat).noquote() << QStringLiteral("Not an http(s) address with a host: ") + host;
        done(failure(QStringLiteral("The chat server address %1 is not an http or https address"), host));
        return;
    }

    QNetworkReply* reply = network().post(chatEndpointRequest(*endpoint, m_transferTimeout),
                                          chatRequestBody(model, systemPrompt, transcript));

    // The finished handler below has the reply as its context, so an abandoned exchange is reported once.
    const QString unusable = QStringLiteral("The chat server at %1 gave no usable answer");
    abandonOversizedReply(*reply, [done, host, unusable] {
        qCWarning(lcChat).noquote() << QStringLiteral("The chat server's reply exceeds 16 MiB");
        done(failure(unusable, host));
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done, host, unusable] {
        if (webExchangeFailed(*reply)) {
            // Nothing else cancels a reply that is still connected, and "Operation canceled" would hide why.
            qCWarning(lcChat).noquote() << (reply->error() == QNetworkReply::OperationCanceledError
                                                ? QStringLiteral("The request timed out.")
                                                : reply->errorString());
            done(failure(QStringLiteral("The chat server at %1 did not answer"), host));
            return;
        }
        const std::optional<QString> text = chatReplyText(reply->readAll());
        if (!text) {
            done(failure(unusable, host));
            return;
        }
        qCInfo(lcChat).noquote() << QStringLiteral("[AppState] Ollama processing complete.");
        done({text, {}});
    });
}
