#include "llm/ChatClient.h"

#include "llm/ChatReply.h"
#include "log/Log.h"
#include "net/WebRequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

// QNetworkAccessManager sends the path with its segments normalised, and Qt 6.4 folds a leading "//" into
// "/" there. A host text with a trailing slash must still reach the server as "//api/chat", so such a path
// gets the one slash the folding takes; a Qt that no longer folds gets the path unchanged.
QUrl withLeadingSlashesKept(const QUrl& url) {
    const QString path = url.path(QUrl::FullyEncoded);
    if (!path.startsWith(QLatin1String("//"))) {
        return url;
    }
    QUrl padded = url;
    padded.setPath(u'/' + path, QUrl::StrictMode);
    return padded.adjusted(QUrl::NormalizePathSegments).path(QUrl::FullyEncoded) == path ? padded : url;
}

QNetworkRequest chatRequest(const QUrl& url, std::chrono::milliseconds transferTimeout) {
    QNetworkRequest request = isolatedWebRequest(withLeadingSlashesKept(url), transferTimeout);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    return request;
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

void ChatClient::rewriteTranscript(const QString& transcript, const QString& systemPrompt,
                                   const QString& host, const QString& model, TextResultHandler done) {
    const QUrl url(host + QStringLiteral("/api/chat"), QUrl::StrictMode);
    if (!isWebServerUrl(url)) {
        // Silent on the standard output, like a reply of the wrong shape; the cause is in the debug output.
        qCDebug(lcChat).noquote() << QStringLiteral("Not an http(s) address with a host: ") + host;
        done(std::nullopt);
        return;
    }

    QNetworkReply* reply =
        network().post(chatRequest(url, m_transferTimeout), chatRequestBody(model, systemPrompt, transcript));

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
