#include "net/WebRequest.h"

#include <QNetworkReply>

bool isWebServerUrl(const QUrl& url) {
    return url.isValid() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) &&
           !url.host().isEmpty();
}

QNetworkRequest isolatedWebRequest(const QUrl& url, std::chrono::milliseconds transferTimeout) {
    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(transferTimeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    return request;
}

bool webExchangeFailed(const QNetworkReply& reply) {
    const QNetworkReply::NetworkError error = reply.error();
    const bool httpStatus =
        (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError) ||
        (error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError);
    return error != QNetworkReply::NoError && !httpStatus;
}

void abandonOversizedReply(QNetworkReply& reply, std::function<void()> abandoned) {
    QNetworkReply* watched = &reply;
    QObject::connect(watched, &QNetworkReply::readyRead, watched, [watched, abandoned] {
        if (watched->bytesAvailable() <= maxWebReplySize) {
            return;
        }
        QObject::disconnect(watched, nullptr, watched, nullptr);
        watched->abort();
        abandoned();
    });
}
