#include "fakes/FakeHttpServer.h"
#include "net/WebRequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>

using namespace std::chrono_literals;

// The rules every client of a web server shares, applied here as the clients apply them: an isolated
// request, a reply abandoned once it grows too large, and an HTTP error status left to its body.
class WebRequestTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeHttpServer> m_server;
    QNetworkAccessManager m_network;

    /// "failed", "abandoned", or the status and body of the reply; "again" after a second answer.
    QString exchange(const QString& address, std::chrono::milliseconds timeout = 60s) {
        QNetworkReply* reply = m_network.get(isolatedWebRequest(QUrl(address), timeout));
        QStringList outcomes;
        abandonOversizedReply(*reply, [&] { outcomes << QStringLiteral("abandoned"); });
        connect(reply, &QNetworkReply::finished, reply, [&] {
            const QByteArray body = reply->readAll();
            outcomes << (webExchangeFailed(*reply)
                             ? QStringLiteral("failed")
                             : reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toString() + u' ' +
                                   QString::fromUtf8(body.size() > 100 ? QByteArray::number(body.size())
                                                                       : body));
        });
        (void)QTest::qWaitFor([&] { return !outcomes.isEmpty(); }, 60000);
        QTest::qWait(20);
        reply->deleteLater();
        return outcomes.join(QStringLiteral(" again "));
    }

private slots:
    void init() { m_server = std::make_unique<FakeHttpServer>(); }

    void onlyHttpAndHttpsWithAHostAreServers() {
        for (const char* server :
             {"http://127.0.0.1:11434", "https://localhost/", "HTTP://[::1]:8080/base"}) {
            QVERIFY2(isWebServerUrl(QUrl(server, QUrl::StrictMode)), server);
        }
        for (const char* other :
             {"file:///tmp/api", "ftp://127.0.0.1:21", "data:application/json,{}", "127.0.0.1:80",
              "localhost:11434", "http://", "http:///path", "", "http://127.0.0.1:1 "}) {
            QVERIFY2(!isWebServerUrl(QUrl(other, QUrl::StrictMode)), other);
        }
    }

    void outcomes_data() {
        QTest::addColumn<FakeHttpServer::Response>("response");
        QTest::addColumn<QString>("outcome");
        using Server = FakeHttpServer;
        QTest::newRow("refused") << Server::Response{} << "failed"; // an empty response stands for no server
        QTest::newRow("no answer") << Server::Response{{}, true} << "failed";
        QTest::newRow("half a body") << Server::Response{"HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n{",
                                                         true}
                                     << "failed";
        QTest::newRow("client error with a body")
            << Server::reply("404 Not Found", "no model") << "404 no model";
        QTest::newRow("server error with a body") << Server::reply("503 Busy", "later") << "503 later";
        QTest::newRow("exactly the size limit") << Server::reply("200 OK", QByteArray(maxWebReplySize, ' '))
                                                << "200 " + QString::number(maxWebReplySize);
        QTest::newRow("one byte more: abandoned once") << Server::oversized(maxWebReplySize) << "abandoned";
    }

    void outcomes() {
        QFETCH(FakeHttpServer::Response, response);
        const QString address = m_server->address();
        m_server->response = response;
        if (response.bytes.isEmpty() && !response.keepOpen) {
            m_server.reset();
        }
        // Only the stalls get a short timeout; every other row must end without one.
        const bool stalls = response.keepOpen && response.bytes.size() < maxWebReplySize;
        QTEST(exchange(address, stalls ? 300ms : 60s), "outcome");
    }

    void followsNoRedirectAndSendsNoCookies() {
        m_server->response = FakeHttpServer::reply(
            "307 Temporary Redirect", "first", "Location: /elsewhere\r\nSet-Cookie: session=1; Path=/\r\n");
        QCOMPARE(exchange(m_server->address() + "/api"), QStringLiteral("307 first"));
        QCOMPARE(exchange(m_server->address() + "/api"), QStringLiteral("307 first"));
        QCOMPARE(m_server->requests.size(), 2);
        QCOMPARE(m_server->requests[1].requestLine, QByteArray("GET /api HTTP/1.1"));
        QVERIFY(m_server->requests[1].header("Cookie").isEmpty());
    }
};

QTEST_GUILESS_MAIN(WebRequestTest)
#include "tst_webrequest.moc"
