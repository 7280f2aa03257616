#include "llm/ModelWarmUp.h"

#include "llm/ChatEndpoint.h"
#include "log/Log.h"
#include "net/WebRequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>

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
        qCDebug(lcChat) << "The answer to loading the model is too long";
        reply->deleteLater();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [reply] {
        if (reply->error() != QNetworkReply::NoError) {
            qCDebug(lcChat).noquote() << "Loading the model ahead failed:" << reply->errorString();
        }
        reply->deleteLater();
    });
}
