#pragma once

#include "core/Stages.h"
#include "net/WebRequest.h"

#include <chrono>
#include <memory>

class QNetworkAccessManager;

/// Rewrites a transcript with one non-streaming request to an Ollama server's "/api/chat" endpoint and
/// cleans bold and underline markup from the reply. Runs on the main thread without blocking it.
class ChatClient : public TranscriptRewriter {
public:
    static constexpr std::chrono::milliseconds defaultTransferTimeout{std::chrono::seconds(180)};
    /// A reply body that grows past this is abandoned as it arrives.
    static constexpr qint64 maxReplySize = maxWebReplySize;

    /// transferTimeout: how long the exchange may go without any data before it fails.
    explicit ChatClient(std::chrono::milliseconds transferTimeout = defaultTransferTimeout);
    ~ChatClient() override;

    /// Only an http or https address with a host is contacted; any other ends with no result and no log.
    /// A failure is one sentence about the server at host, without a full stop.
    void rewriteTranscript(const QString& transcript, const QString& systemPrompt, const QString& host,
                           const QString& model, TextResultHandler done) override;

    /// Asks the server to load the model, through the same network manager as the rewrite.
    void loadModel(const QString& host, const QString& model) override;

private:
    QNetworkAccessManager& network();

    std::unique_ptr<QNetworkAccessManager> m_network;
    std::chrono::milliseconds m_transferTimeout;
};
