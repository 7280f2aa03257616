#pragma once

#include <QString>

class QNetworkAccessManager;

/// How long the server is asked to keep the model after loading it: the dictation's own chat request has
/// to arrive within that, after the speaking and the transcription.
inline constexpr char modelWarmUpKeepAlive[] = "5m";

/// Asks the Ollama server at host to load the model now, so that its loading overlaps the speaking: a chat
/// request without messages and with a keep_alive, which the server answers once the model is in memory.
/// Goes only where the chat request would go. Nothing depends on it: the answer is not read, and a failure
/// is logged at debug level only.
void requestModelLoad(QNetworkAccessManager& network, const QString& host, const QString& model);
