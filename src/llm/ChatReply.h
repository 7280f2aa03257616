#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

/// The request body of a non-streaming chat: the model, the system prompt then the transcript, compact UTF-8.
QByteArray chatRequestBody(const QString& model, const QString& systemPrompt, const QString& transcript);

/// The cleaned "message"."content" of a chat reply body, or nothing when the body is not such a reply.
/// Logs the parse error when the body is not JSON; a JSON body of another shape ends silently.
std::optional<QString> chatReplyText(const QByteArray& body);

/// Trims the ends, then removes every "**" and every "__"; blanks the removal leaves at the ends stay.
QString cleanChatReply(const QString& content);
