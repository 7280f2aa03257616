#include "fakes/FakeHttpServer.h"
#include "speech/whisper/ModelDownloader.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;
using Request = FakeHttpServer::Request;
using Response = FakeHttpServer::Response;

namespace {

QByteArray fileContents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The downloader against a fake server on 127.0.0.1 serving one of whisper.cpp's test models.
class ModelDownloaderTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_model;
    CatalogModel m_entry;
    std::unique_ptr<FakeHttpServer> m_server;
    std::unique_ptr<ModelDownloader> m_downloader;

    // The model, whole or from the first byte of the request's range.
    Response served(const Request& request, bool honourRange = true) const {
        const QByteArray range = request.header("Range");
        if (!honourRange || range.isEmpty()) {
            return FakeHttpServer::reply("200 OK", m_model);
        }
        const qint64 from = range.mid(6, range.indexOf('-') - 6).toLongLong();
        return FakeHttpServer::reply("206 Partial Content", m_model.mid(from),
                                     "Content-Range: bytes " + QByteArray::number(from) + "-" +
                                         QByteArray::number(m_model.size() - 1) + "/" +
                                         QByteArray::number(m_model.size()) + "\r\n");
    }

    QString download() {
        QSignalSpy finished(m_downloader.get(), &ModelDownloader::finished);
        m_downloader->download(m_entry);
        [&] { QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 60000); }();
        return finished.value(0).value(1).toString();
    }

    QString modelPath() const { return m_downloader->modelPath(m_entry); }
    QString partialPath() const { return m_downloader->partialPath(m_entry); }

    bool writePartial(qint64 bytes) const {
        QFile file(partialPath());
        return file.open(QIODevice::WriteOnly) && file.write(m_model.left(bytes)) == bytes;
    }

private slots:
    void initTestCase() {
        m_model = fileContents(WHISPER_TEST_MODELS "/for-tests-ggml-tiny.en.bin");
        QVERIFY(m_model.size() > 100000);
        m_entry = {"tiny.en", 1, QCryptographicHash::hash(m_model, QCryptographicHash::Sha1).toHex()};
    }

    void init() {
        m_server = std::make_unique<FakeHttpServer>();
        m_server->respond = [this](const Request& request) { return served(request); };
        m_downloader =
            std::make_unique<ModelDownloader>(m_dir.filePath("models"), m_server->address(), 500ms);
    }

    void cleanup() {
        m_downloader->remove(m_entry);
        m_downloader.reset();
    }

    void downloadsVerifiesAndPlacesTheModel() {
        QSignalSpy progress(m_downloader.get(), &ModelDownloader::progress);
        QCOMPARE(download(), QString());
        QCOMPARE(fileContents(modelPath()), m_model);
        QVERIFY(!QFile::exists(partialPath()));
        QCOMPARE(m_server->requests.value(0).requestLine, "GET /ggml-tiny.en.bin HTTP/1.1");
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last().value(1).toLongLong(), m_model.size());
        QCOMPARE(progress.last().value(2).toLongLong(), m_model.size());
    }

    void resumesAPartialDownload_data() {
        QTest::addColumn<bool>("honourRange");
        QTest::newRow("server continues") << true;
        QTest::newRow("server starts over") << false;
    }

    void resumesAPartialDownload() {
        QFETCH(bool, honourRange);
        m_server->respond = [this, honourRange](const Request& request) {
            return served(request, honourRange);
        };
        QVERIFY(writePartial(100000));
        QCOMPARE(download(), QString());
        QCOMPARE(m_server->requests.value(0).header("Range"), "bytes=100000-");
        QCOMPARE(fileContents(modelPath()), m_model);
    }

    void failuresLeaveNoModel_data() {
        QTest::addColumn<Response>("response");
        QTest::addColumn<QString>("error");
        QTest::addColumn<qint64>("partialKept");
        const QByteArray half = m_model.left(m_model.size() / 2);
        const QByteArray announced =
            "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(m_model.size()) + "\r\n\r\n";
        QByteArray altered = m_model;
        altered[1000] = char(altered[1000] ^ 1);
        QTest::newRow("404") << FakeHttpServer::reply("404 Not Found", "no such model") << "404"
                             << qint64(-1);
        QTest::newRow("checksum") << FakeHttpServer::reply("200 OK", altered) << "checksum" << qint64(-1);
        QTest::newRow("cut off") << Response{announced + half, false} << "stopped" << qint64(half.size());
        QTest::newRow("stalled") << Response{announced + half, true} << "no data arrived"
                                 << qint64(half.size());
        QTest::newRow("other host") << FakeHttpServer::reply("302 Found", "",
                                                             "Location: http://127.0.0.2:9/x.bin\r\n")
                                    << "another host (127.0.0.2)" << qint64(-1);
    }

    void failuresLeaveNoModel() {
        QFETCH(Response, response);
        QFETCH(QString, error);
        QFETCH(qint64, partialKept);
        m_server->respond = [response](const Request&) { return response; };
        const QString message = download();
        QVERIFY2(message.contains(error), qPrintable(message));
        QVERIFY(!QFile::exists(modelPath()));
        QCOMPARE(QFileInfo::exists(partialPath()) ? QFileInfo(partialPath()).size() : -1, partialKept);
        QCOMPARE(m_server->requests.size(), 1);
    }

    void cancelKeepsWhatArrivedForTheNextAttempt() {
        const QByteArray half = m_model.left(m_model.size() / 2);
        m_server->respond = [&](const Request&) {
            return Response{"HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(m_model.size()) +
                                "\r\n\r\n" + half,
                            true};
        };
        QSignalSpy progress(m_downloader.get(), &ModelDownloader::progress);
        QSignalSpy finished(m_downloader.get(), &ModelDownloader::finished);
        m_downloader->download(m_entry);
        QTRY_VERIFY_WITH_TIMEOUT(!progress.isEmpty() && progress.last().value(1).toLongLong() == half.size(),
                                 60000);
        m_downloader->cancel(m_entry.name);
        QCOMPARE(finished.size(), 1);
        QVERIFY(finished[0][1].toString().contains("cancelled"));
        QVERIFY(!m_downloader->isDownloading(m_entry.name));
        QCOMPARE(QFileInfo(partialPath()).size(), half.size());

        m_server->respond = [this](const Request& request) { return served(request); };
        QCOMPARE(download(), QString());
        QCOMPARE(m_server->requests.last().header("Range"), "bytes=" + QByteArray::number(half.size()) + "-");
        QCOMPARE(fileContents(modelPath()), m_model);
    }

    void downloadsOnlyFromWebAddresses() {
        const CatalogModel& base = *findCatalogModel("base.en");
        QCOMPARE(catalogModelUrl(base, "").toString(),
                 "https://huggingface.co/ggerganov/whisper.cpp/resolve/main/ggml-base.en.bin");
        QCOMPARE(catalogModelUrl(base, "http://127.0.0.1:8/models").toString(),
                 "http://127.0.0.1:8/models/ggml-base.en.bin");
        for (const char* mirror : {"ftp://127.0.0.1/", "file:///tmp/", "127.0.0.1:8"}) {
            QVERIFY2(!catalogModelUrl(base, mirror).isValid(), mirror);
        }
        m_downloader = std::make_unique<ModelDownloader>(m_dir.filePath("models"), "file:///tmp/");
        QVERIFY(download().contains("MURMURO_MODEL_MIRROR"));
        QCOMPARE(m_server->requests.size(), 0);
    }
};

QTEST_GUILESS_MAIN(ModelDownloaderTest)
#include "tst_modeldownloader.moc"
