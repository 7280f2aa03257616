#pragma once

#include "speech/whisper/ModelCatalog.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <chrono>
#include <map>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

/// Downloads catalog models into the models folder, only when asked to. Each download goes into
/// "<file>.part" beside the model, continues such a file with an HTTP range request, and becomes the model
/// only once its SHA-1 matches the catalog's, by an atomic rename; so a model file is always whole. A
/// partial file that cannot be continued (a failed checksum, a full disk, a server sending something else)
/// is deleted; one cut off by the network or a cancel stays for the next attempt. Lives on the main thread.
class ModelDownloader : public QObject {
    Q_OBJECT

public:
    /// mirror is the value of MURMURO_MODEL_MIRROR. A transfer that moves no data for stallTimeout fails.
    ModelDownloader(QString directory, QString mirror,
                    std::chrono::milliseconds stallTimeout = std::chrono::seconds(30),
                    QObject* parent = nullptr);
    /// Stops every download, keeping what has arrived.
    ~ModelDownloader() override;

    QString modelPath(const CatalogModel& model) const;
    QString partialPath(const CatalogModel& model) const;
    bool isDownloading(const QString& name) const { return m_transfers.count(name) > 0; }

    /// Starts downloading the model, or continues its partial download; nothing while it is downloading.
    void download(const CatalogModel& model);
    /// Stops the download, keeping what has arrived; finished() reports it.
    void cancel(const QString& name);
    /// Deletes the model and its partial download, stopping the download first. False when a file stays.
    bool remove(const CatalogModel& model);

signals:
    /// Bytes of the model on disk so far, and its whole size; total is -1 while unknown.
    void progress(const QString& name, qint64 received, qint64 total);
    /// Every download ends with this once: error is empty when the model is in place, else it says what
    /// went wrong (or that it was cancelled) in a sentence for the user.
    void finished(const QString& name, const QString& error);

private:
    struct Transfer;

    QNetworkAccessManager& network();
    void request(Transfer& transfer, const QUrl& url);
    void receive(Transfer& transfer);
    void replyFinished(Transfer& transfer);
    bool acceptStatus(Transfer& transfer);
    void verify(Transfer& transfer);
    void verified(const QString& name, const QByteArray& sha1);
    void stop(Transfer& transfer);
    void end(const QString& name, const QString& error, bool deletePartial);

    QString m_directory;
    QString m_mirror;
    std::chrono::milliseconds m_stallTimeout;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::map<QString, std::unique_ptr<Transfer>> m_transfers;
    QThreadPool m_checksums;
};
