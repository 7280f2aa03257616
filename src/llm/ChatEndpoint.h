#pragma once

#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

/// The chat endpoint of the server the user typed: the host text with "/api/chat" appended, nothing
/// normalised. Nothing when that is no http or https address with a host, so no other place is contacted.
std::optional<QUrl> chatEndpoint(const QString& host);

/// A JSON POST to the endpoint that carries nothing remembered from earlier replies and fails after
/// transferTimeout without any data moving.
QNetworkRequest chatEndpointRequest(const QUrl& endpoint, std::chrono::milliseconds transferTimeout);
