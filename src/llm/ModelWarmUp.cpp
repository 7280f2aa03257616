#include "llm/ModelWarmUp.h"

#include "core/WebRequest.h"
#include "llm/ChatEndpoint.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>

Q_LOGGING_CATEGORY(lcWarmUp, "murmuro.chat")

namespace {

// Loading a large model from a slow disk takes a while; the answer only says it is done.
constexpr std::chrono::seconds loadTimeout{180};

} // namespace

void requestModelLoad(QNetworkAccessManager& network, const QString& host, const QString& model) {
    const std::optional<QUrl> endpoint = chatEndpoint(host);
    if (!endpoint) {
        return;
    }
    const QByteArray body =
        QJsonDocument(
            QJsonObject{{"model", model}, {"messages", QJsonArray()}, {"keep_alive", modelWarmUpKeepAlive}})
            .toJson(QJsonDocument::Compact);
    QNetworkReply* reply = network.post(chatEndpointRequest(*endpoint, loadTimeout), body);
    abandonOversizedReply(*reply, [reply] {
        qCDebug(lcWarmUp) << "The answer to loading the model is too long";
        reply->deleteLater();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply] {
        if (reply->error() != QNetworkReply::NoError) {
            qCDebug(lcWarmUp).noquote() << "Loading the model ahead failed:" << reply->errorString();
        }
        reply->deleteLater();
    });
}
