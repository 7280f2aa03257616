#include "llm/ChatReply.h"

#include "log/Log.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

QByteArray chatRequestBody(const QString& model, const QString& systemPrompt, const QString& transcript) {
    const QJsonObject body{
        {QStringLiteral("model"), model},
        {QStringLiteral("messages"),
         QJsonArray{
             QJsonObject{{QStringLiteral("role"), QStringLiteral("system")},
                         {QStringLiteral("content"), systemPrompt}},
             QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                         {QStringLiteral("content"), transcript}},
         }},
        {QStringLiteral("stream"), false},
    };
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

std::optional<QString> chatReplyText(const QByteArray& body) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        qCWarning(lcChat).noquote() << parseError.errorString();
        return std::nullopt;
    }
    if (!document.isObject()) {
        return std::nullopt;
    }
    const QJsonValue message = document.object().value(QStringLiteral("message"));
    if (!message.isObject()) {
        return std::nullopt;
    }
    const QJsonValue content = message.toObject().value(QStringLiteral("content"));
    if (!content.isString()) {
        return std::nullopt;
    }
    return cleanChatReply(content.toString());
}

QString cleanChatReply(const QString& content) {
    return content.trimmed().remove(QStringLiteral("**")).remove(QStringLiteral("__"));
}
