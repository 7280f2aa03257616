#include "llm/ChatClient.h"

#include "llm/ChatEndpoint.h"
#include "llm/ChatReply.h"
#include "log/Log.h"
#include "net/WebRequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

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

void ChatClient::rewriteTranscript(const QString& transcript, const QString& systemPrompt,
                                   const QString& host, const QString& model, TextResultHandler done) {
    const std::optional<QUrl> endpoint = chatEndpoint(host);
    if (!endpoint) {
        // Silent on the standard output, like a reply of the wrong shape; the cause is in the debug output.
        qCDebug(lcChat).noquote() << QStringLiteral("Not an http(s) address with a host: ") + host;
        done(std::nullopt);
        return;
    }

    QNetworkReply* reply = network().post(chatEndpointRequest(*endpoint, m_transferTimeout),
                                          chatRequestBody(model, systemPrompt, transcript));

    // The finished handler below has the reply as its context, so an abandoned exchange is reported once.
    abandonOversizedReply(*reply, [done] {
        qCWarning(lcChat).noquote() << QStringLiteral("The chat server's reply exceeds 16 MiB");
        done(std::nullopt);
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done] {
        if (webExchangeFailed(*reply)) {
            // Nothing else cancels a reply that is still connected, and "Operation canceled" would hide why.
            qCWarning(lcChat).noquote() << (reply->error() == QNetworkReply::OperationCanceledError
                                                ? QStringLiteral("The request timed out.")
                                                : reply->errorString());
            done(std::nullopt);
            return;
        }
        const std::optional<QString> text = chatReplyText(reply->readAll());
        if (text) {
            qCInfo(lcChat).noquote() << QStringLiteral("[AppState] Ollama processing complete.");
        }
        done(text);
    });
}
