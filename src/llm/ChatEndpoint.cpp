#include "llm/ChatEndpoint.h"

#include "net/WebRequest.h"

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

} // namespace

std::optional<QUrl> chatEndpoint(const QString& host) {
    const QUrl url(host + QStringLiteral("/api/chat"), QUrl::StrictMode);
    if (!isWebServerUrl(url)) {
        return std::nullopt;
    }
    return url;
}

QNetworkRequest chatEndpointRequest(const QUrl& endpoint, std::chrono::milliseconds transferTimeout) {
    QNetworkRequest request = isolatedWebRequest(withLeadingSlashesKept(endpoint), transferTimeout);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    return request;
}
