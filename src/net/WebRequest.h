#pragma once

#include <QNetworkRequest>
#include <QUrl>

#include <chrono>
#include <functional>

class QNetworkReply;

/// The largest reply body read from a server. One that grows past it is abandoned as it arrives, so a
/// runaway server cannot fill the memory.
inline constexpr qint64 maxWebReplySize = 16 * 1024 * 1024;

/// Whether url names a server to talk to over the network: http or https, with a host. A file: or data:
/// address would be read locally, and anything without a host has no server to talk to.
bool isWebServerUrl(const QUrl& url);

/// A request that goes to url only and carries nothing remembered from earlier replies (no redirects
/// followed, no cookies, no stored credentials). It fails after transferTimeout without any data moving.
QNetworkRequest isolatedWebRequest(const QUrl& url, std::chrono::milliseconds transferTimeout);

/// Whether the exchange itself failed. An HTTP error status does not count: the body of such a reply still
/// says what went wrong, so it is left to decide.
bool webExchangeFailed(const QNetworkReply& reply);

/// Aborts the reply once its body grows past maxWebReplySize and calls abandoned. Every handler that has the
/// reply as its context object is dropped before the abort, so none of them sees the reply finish.
void abandonOversizedReply(QNetworkReply& reply, std::function<void()> abandoned);
