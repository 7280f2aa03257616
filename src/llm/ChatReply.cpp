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
    // A reply of the wrong shape ends the dictation without a line on the standard output; the cause is
    // there for whoever turns on this category's debug output.
    if (!document.isObject()) {
        qCDebug(lcChat) << "The chat server's reply is not a JSON object.";
        return std::nullopt;
    }
    const QJsonValue message = document.object().value(QStringLiteral("message"));
    if (!message.isObject()) {
        qCDebug(lcChat) << "The chat server's reply has no \"message\" object.";
        return std::nullopt;
    }
    const QJsonValue content = message.toObject().value(QStringLiteral("content"));
    if (!content.isString()) {
        qCDebug(lcChat) << "The chat server's reply has no \"content\" text.";
        return std::nullopt;
    }
    return cleanChatReply(content.toString());
}

QString cleanChatReply(const QString& content) {
    return content.trimmed().remove(QStringLiteral("**")).remove(QStringLiteral("__"));
}
