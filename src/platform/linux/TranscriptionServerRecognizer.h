#pragma once

#include "platform/SpeechRecognition.h"

#include <QPointer>
#include <QUrl>

#include <chrono>
#include <memory>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QObject;
class QThreadPool;

/// A recogniser that has a transcription server do the work, in one language.
///
/// Recognition decodes the file into a 16 kHz mono WAV on a worker, then posts it from the thread of
/// mainThread as a multipart form and reports the reply's "text" as the final result, or one error.
class TranscriptionServerRecognizer : public SpeechRecognizer {
public:
    struct Server {
        QUrl endpoint;
        QString model;
        std::chrono::milliseconds answerTimeout;
    };

    /// language is the code the server knows the language by. network, workers and mainThread must outlive
    /// the recogniser.
    TranscriptionServerRecognizer(Server server, QString language, QNetworkAccessManager& network,
                                  QThreadPool& workers, QObject& mainThread);
    /// Abandons the exchanges still running.
    ~TranscriptionServerRecognizer() override;

    /// Whether the endpoint is an http or https address with a host.
    bool isAvailable() const override;
    void recognizeFile(const QString& url, ResultHandler handler) override;

private:
    void send(const QByteArray& wave, const std::weak_ptr<ResultHandler>& handler);

    Server m_server;
    QString m_language;
    QNetworkAccessManager& m_network;
    QThreadPool& m_workers;
    QObject& m_mainThread;
    // Work in progress holds these weakly: once the recogniser is gone, no handler runs and the work stops.
    std::vector<std::shared_ptr<ResultHandler>> m_handlers;
    std::vector<QPointer<QNetworkReply>> m_replies;
};
