#include "llm/ChatClient.h"

#include "core/Log.h"
#include "llm/ChatReply.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {

// Only a web address reaches the network: a file: or data: address would be read locally, and anything
// without a host has no server to talk to.
bool isChatServerUrl(const QUrl& url) {
    return url.isValid() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
           !url.host().isEmpty();
}

// The status code is not examined: an HTTP error reply still carries the body that decides. Every other
// error means the exchange itself failed.
bool isHttpStatusError(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
}

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
    QNetworkRequest request(withLeadingSlashesKept(url));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setTransferTimeout(static_cast<int>(transferTimeout.count()));
    // The request goes to the configured address only and carries nothing remembered from earlier replies.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    return request;
}

} // namespace

ChatClient::ChatClient(std::chrono::milliseconds transferTimeout)
    : m_transferTimeout(transferTimeout) {
    m_network.setAutoDeleteReplies(true);
}

void ChatClient::rewriteTranscript(const QString& transcript, const QString& systemPrompt,
                                   const QString& host, const QString& model, TextResultHandler done) {
    const QUrl url(host + QStringLiteral("/api/chat"), QUrl::StrictMode);
    if (!isChatServerUrl(url)) {
        done(std::nullopt);
        return;
    }

    QNetworkReply* reply =
        m_network.post(chatRequest(url, m_transferTimeout), chatRequestBody(model, systemPrompt, transcript));

    // The reply context ties both handlers to this one exchange; dropping them is how an abandoned exchange
    // keeps its abort from being reported a second time.
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, done] {
        if (reply->bytesAvailable() <= maxReplySize) {
            return;
        }
        QObject::disconnect(reply, nullptr, reply, nullptr);
        reply->abort();
        logLine(QStringLiteral("The chat server's reply exceeds 16 MiB"));
        done(std::nullopt);
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply, done] {
        if (reply->error() != QNetworkReply::NoError && !isHttpStatusError(reply->error())) {
            // Nothing else cancels a reply that is still connected, and "Operation canceled" would hide why.
            logLine(reply->error() == QNetworkReply::OperationCanceledError
                        ? QStringLiteral("The request timed out.")
                        : reply->errorString());
            done(std::nullopt);
            return;
        }
        const std::optional<QString> text = chatReplyText(reply->readAll());
        if (text) {
            logLine(QStringLiteral("[AppState] Ollama processing complete."));
        }
        done(text);
    });
}
