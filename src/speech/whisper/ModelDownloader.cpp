#include "speech/whisper/ModelDownloader.h"

#include "net/WebRequest.h"
#include "speech/whisper/DownloadHeaders.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QStorageInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr int maxRedirects = 5;
constexpr qint64 mebibyte = 1024 * 1024;

QByteArray sha1Of(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        return QByteArray();
    }
    return hash.result().toHex();
}

} // namespace

struct ModelDownloader::Transfer {
    CatalogModel model;
    bool fromOfficialBase = false;
    QFile partial;
    qint64 offset = 0; // bytes the partial file held when the request went out
    QUrl url;
    QPointer<QNetworkReply> reply;
    int redirects = 0;
    bool writing = false; // the answer is the model's data and goes into the file
};

ModelDownloader::ModelDownloader(QString directory, QString mirror, std::chrono::milliseconds stallTimeout,
                                 QObject* parent)
    : QObject(parent)
    , m_directory(std::move(directory))
    , m_mirror(std::move(mirror))
    , m_stallTimeout(stallTimeout) {
    m_checksums.setMaxThreadCount(1);
}

ModelDownloader::~ModelDownloader() {
    for (auto& [name, transfer] : m_transfers) {
        stop(*transfer);
    }
    m_checksums.waitForDone();
}

QString ModelDownloader::modelPath(const CatalogModel& model) const {
    return m_directory + QLatin1Char('/') + model.fileName();
}

QString ModelDownloader::partialPath(const CatalogModel& model) const {
    return modelPath(model) + QStringLiteral(".part");
}

QNetworkAccessManager& ModelDownloader::network() {
    // Made on first use: an idle program should not carry a network stack.
    if (!m_network) {
        m_network = std::make_unique<QNetworkAccessManager>();
    }
    return *m_network;
}

void ModelDownloader::download(const CatalogModel& model) {
    if (isDownloading(model.name)) {
        return;
    }
    const QUrl url = catalogModelUrl(model, m_mirror);
    if (!url.isValid()) {
        emit finished(
            model.name,
            QStringLiteral("MURMURO_MODEL_MIRROR is not an http or https address: %1").arg(m_mirror));
        return;
    }
    if (!QDir().mkpath(m_directory)) {
        emit finished(model.name, QStringLiteral("The folder %1 cannot be created.").arg(m_directory));
        return;
    }
    const qint64 needed = model.sizeMiB * mebibyte - QFileInfo(partialPath(model)).size();
    if (QStorageInfo(m_directory).bytesAvailable() < needed) {
        emit finished(model.name,
                      QStringLiteral("There is not enough free disk space for the %1 model (%2 MB).")
                          .arg(model.name)
                          .arg(model.sizeMiB));
        return;
    }
    auto transfer = std::make_unique<Transfer>();
    transfer->model = model;
    transfer->fromOfficialBase = m_mirror.trimmed().isEmpty();
    transfer->partial.setFileName(partialPath(model));
    if (!transfer->partial.open(QIODevice::WriteOnly | QIODevice::Append)) {
        emit finished(model.name, QStringLiteral("%1 cannot be written: %2")
                                      .arg(transfer->partial.fileName(), transfer->partial.errorString()));
        return;
    }
    transfer->offset = transfer->partial.size();
    Transfer& started = *transfer;
    m_transfers[model.name] = std::move(transfer);
    request(started, url);
}

void ModelDownloader::request(Transfer& transfer, const QUrl& url) {
    transfer.url = url;
    transfer.writing = false;
    QNetworkRequest request = isolatedWebRequest(url, m_stallTimeout);
    if (transfer.offset > 0) {
        request.setRawHeader("Range", "bytes=" + QByteArray::number(transfer.offset) + '-');
    }
    QNetworkReply* reply = network().get(request);
    transfer.reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, &transfer] { receive(transfer); });
    connect(reply, &QNetworkReply::finished, this, [this, &transfer] { replyFinished(transfer); });
}

bool ModelDownloader::acceptStatus(Transfer& transfer) {
    const int status = transfer.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == 200 && transfer.offset > 0) {
        // The server sends the whole file after all.
        transfer.partial.resize(0);
        transfer.offset = 0;
    }
    if (status == 206 && contentRangeStart(transfer.reply->rawHeader("Content-Range")) != transfer.offset) {
        end(transfer.model.name,
            QStringLiteral(
                "The server continued the download of the %1 model at the wrong place; the partial "
                "download was deleted.")
                .arg(transfer.model.name),
            true);
        return false;
    }
    transfer.writing = status == 200 || status == 206;
    return true;
}

void ModelDownloader::receive(Transfer& transfer) {
    if (!transfer.writing && !acceptStatus(transfer)) {
        return;
    }
    if (!transfer.writing) {
        return; // an error page or a redirect: finished() handles it
    }
    const QByteArray data = transfer.reply->readAll();
    const QString name = transfer.model.name;
    if (transfer.partial.write(data) != data.size() || !transfer.partial.flush()) {
        end(name,
            QStringLiteral("The download of the %1 model stopped: %2. The partial download was deleted.")
                .arg(name, transfer.partial.errorString()),
            true);
        return;
    }
    // Somewhat more than the catalog's rounded size is fine; far more means the server sends something else.
    if (transfer.partial.size() > transfer.model.sizeMiB * mebibyte * 11 / 10 + mebibyte) {
        end(name,
            QStringLiteral("The server sent more than the %1 model's size; the download was deleted.")
                .arg(name),
            true);
        return;
    }
    const qint64 announced = transfer.reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    emit progress(name, transfer.partial.size(), downloadTotal(transfer.offset, announced));
}

void ModelDownloader::replyFinished(Transfer& transfer) {
    QNetworkReply& reply = *transfer.reply;
    reply.deleteLater();
    const QString name = transfer.model.name;
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QUrl target = reply.attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    if (status >= 300 && status < 400 && target.isValid()) {
        const QUrl next = transfer.url.resolved(target);
        if (!isFollowableRedirect(transfer.url, next, transfer.fromOfficialBase)) {
            end(name,
                QStringLiteral(
                    "The download of the %1 model was redirected to another host (%2) and stopped.")
                    .arg(name, next.host()),
                false);
        } else if (++transfer.redirects > maxRedirects) {
            end(name, QStringLiteral("The download of the %1 model was redirected too often.").arg(name),
                false);
        } else {
            request(transfer, next);
        }
        return;
    }
    if (status == 416 && transfer.offset > 0) {
        verify(transfer); // the partial file may be whole already
        return;
    }
    if (webExchangeFailed(reply)) {
        const QString cause =
            reply.error() == QNetworkReply::OperationCanceledError
                ? QStringLiteral("no data arrived for %1 s").arg(m_stallTimeout.count() / 1000.0)
                : reply.errorString();
        end(name,
            QStringLiteral("The download of the %1 model stopped: %2. Download it again to continue.")
                .arg(name, cause),
            false);
        return;
    }
    if (!transfer.writing) {
        end(name,
            QStringLiteral("The server answered %1 %2 for the %3 model.")
                .arg(status)
                .arg(reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString(), name),
            false);
        return;
    }
    receive(transfer);
    if (isDownloading(name)) {
        verify(transfer);
    }
}

void ModelDownloader::verify(Transfer& transfer) {
    transfer.partial.flush();
    ::fsync(transfer.partial.handle());
    transfer.partial.close();
    m_checksums.start([this, name = transfer.model.name, path = transfer.partial.fileName()] {
        const QByteArray sha1 = sha1Of(path);
        QMetaObject::invokeMethod(
            this, [this, name, sha1] { verified(name, sha1); }, Qt::QueuedConnection);
    });
}

void ModelDownloader::verified(const QString& name, const QByteArray& sha1) {
    const auto found = m_transfers.find(name);
    if (found == m_transfers.end() || found->second->partial.isOpen()) {
        return; // cancelled, and perhaps started again, while the file was read
    }
    const Transfer& transfer = *found->second;
    if (sha1 != transfer.model.sha1) {
        end(name,
            QStringLiteral("The download of the %1 model did not match its checksum and was deleted.")
                .arg(name),
            true);
        return;
    }
    const QByteArray from = QFile::encodeName(transfer.partial.fileName());
    const QByteArray to = QFile::encodeName(modelPath(transfer.model));
    if (std::rename(from.constData(), to.constData()) != 0) {
        end(name,
            QStringLiteral("The %1 model could not be put in place: %2.")
                .arg(name, QString::fromLocal8Bit(std::strerror(errno))),
            true);
        return;
    }
    end(name, QString(), false);
}

void ModelDownloader::cancel(const QString& name) {
    if (isDownloading(name)) {
        end(name, QStringLiteral("The download of the %1 model was cancelled.").arg(name), false);
    }
}

bool ModelDownloader::remove(const CatalogModel& model) {
    cancel(model.name);
    QFile::remove(partialPath(model));
    QFile::remove(modelPath(model));
    return !QFile::exists(partialPath(model)) && !QFile::exists(modelPath(model));
}

void ModelDownloader::stop(Transfer& transfer) {
    if (transfer.reply) {
        disconnect(transfer.reply, nullptr, this, nullptr);
        transfer.reply->abort();
        transfer.reply->deleteLater();
    }
    transfer.partial.close();
}

void ModelDownloader::end(const QString& name, const QString& error, bool deletePartial) {
    const auto found = m_transfers.find(name);
    std::unique_ptr<Transfer> transfer = std::move(found->second);
    m_transfers.erase(found);
    stop(*transfer);
    if (deletePartial || transfer->partial.size() == 0) {
        transfer->partial.remove();
    }
    emit finished(name, error);
}
