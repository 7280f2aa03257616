#include "fakes/FakeHttpServer.h"
#include "llm/ChatClient.h"
#include "llm/ChatReply.h"
#include "log/Log.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace std::chrono_literals;

namespace {

const QString completed = QStringLiteral("[AppState] Ollama processing complete.");

QByteArray replyWithContent(const QJsonValue& content) {
    return QJsonDocument(QJsonObject{{"message", QJsonObject{{"role", "assistant"}, {"content", content}}}})
        .toJson(QJsonDocument::Compact);
}

} // namespace

// What the chat client decides itself: the request, reading and cleaning the reply, and what it logs. The
// failures of the exchange it shares with every web client are tested with the network module.
class ChatClientTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeHttpServer> m_server;
    QStringList m_log;

    /// The answer or why there is none, "twice" when it came twice, and "off the main thread" when so.
    QString rewrite(ChatClient& client, const QString& host, const QString& transcript = "hello",
                    const QString& prompt = "Be brief.") {
        QStringList answers;
        client.rewriteTranscript(
            transcript, prompt, host, "qwen2.5:7b", [&answers](const TextResult& result) {
                const bool onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
                answers << result.text.value_or(result.failure) +
                               (onMainThread ? "" : " off the main thread");
            });
        (void)QTest::qWaitFor([&] { return !answers.isEmpty(); }, 60000);
        QTest::qWait(20);
        return answers.join(QStringLiteral(" twice "));
    }

private slots:
    void init() {
        m_server = std::make_unique<FakeHttpServer>();
        m_log.clear();
        setLogSink([this](const QString& line) { m_log.append(line); });
    }

    void cleanup() { setLogSink({}); }

    void replyIsReadAndCleaned() {
        // Trimmed, then every "**" and "__" removed; blanks that the removal leaves at the ends stay.
        const std::pair<QString, QString> cleaned[] = {{"  **Hello** world\n", "Hello world"},
                                                       {"***word***", "*word*"},
                                                       {"__word__", "word"},
                                                       {" a ** ", "a "},
                                                       {"_**_", ""},
                                                       {"\u00a0\u2003text\u3000\u2029", "text"},
                                                       {"# *a* _b_ `c`", "# *a* _b_ `c`"}};
        for (const auto& [content, text] : cleaned) {
            QCOMPARE(chatReplyText(replyWithContent(content)), std::optional(text));
        }
        // A reply of another shape ends silently.
        for (const char* other : {R"([{"message":{"content":"x"}}])", R"({"message":"hi"})",
                                  R"({"message":{"role":"assistant"}})", R"({"message":{"content":42}})"}) {
            QCOMPARE(chatReplyText(other), std::nullopt);
        }
        QCOMPARE(m_log, QStringList());
    }

    void sendsOneCompactChatRequest_data() {
        QTest::addColumn<QString>("hostSuffix");
        QTest::addColumn<QByteArray>("requestLine");
        QTest::newRow("bare host") << QString() << QByteArray("POST /api/chat HTTP/1.1");
        QTest::newRow("trailing slash kept") << QStringLiteral("/") << QByteArray("POST //api/chat HTTP/1.1");
    }

    void sendsOneCompactChatRequest() {
        QFETCH(QString, hostSuffix);
        const QString transcript = QStringLiteral("Grüße, \"Welt\" 👋\nzweite Zeile\t— ✓");
        const QString prompt = QStringLiteral("Mode: Smart ✨\n\nNever use: 嘿");
        // Shaped like a real Ollama reply, with the fields the client must ignore.
        m_server->response = FakeHttpServer::reply(
            "200 OK", R"({"model":"llama3.2","created_at":"2025-01-21T10:15:32.123456Z",)"
                      R"("message":{"role":"assistant","content":"Let us meet **tomorrow**.\n"},)"
                      R"("done_reason":"stop","done":true,"total_duration":4935886791,"eval_count":237})");
        ChatClient client;
        QCOMPARE(rewrite(client, m_server->address() + hostSuffix, transcript, prompt),
                 QStringLiteral("Let us meet tomorrow."));
        QCOMPARE(m_log, QStringList{completed});

        QCOMPARE(m_server->requests.size(), 1);
        const FakeHttpServer::Request& request = m_server->requests.first();
        QTEST(request.requestLine, "requestLine");
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QVERIFY(!request.body.contains('\n'));
        const QJsonArray messages{QJsonObject{{"role", "system"}, {"content", prompt}},
                                  QJsonObject{{"role", "user"}, {"content", transcript}}};
        QCOMPARE(QJsonDocument::fromJson(request.body).object(),
                 (QJsonObject{{"model", "qwen2.5:7b"}, {"messages", messages}, {"stream", false}}));
    }

    void failuresAnswerNothingAndLogTheirCause_data() {
        QTest::addColumn<FakeHttpServer::Response>("response");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("failure");
        const QString noAnswer = QStringLiteral("did not answer"),
                      unusable = QStringLiteral("gave no usable answer");
        QTest::newRow("refused") << FakeHttpServer::Response{} << "Connection refused" << noAnswer;
        QTest::newRow("no answer") << FakeHttpServer::Response{{}, true} << "The request timed out."
                                   << noAnswer;
        QTest::newRow("oversized") << FakeHttpServer::oversized(ChatClient::maxReplySize)
                                   << "The chat server's reply exceeds 16 MiB" << unusable;
        QTest::newRow("html error page")
            << FakeHttpServer::reply("502 Bad Gateway", "<html>Bad Gateway</html>") << "illegal value"
            << unusable;
        QTest::newRow("error reply in JSON")
            << FakeHttpServer::reply("404 Not Found", R"({"error":"no model"})") << QString() << unusable;
    }

    void failuresAnswerNothingAndLogTheirCause() {
        QFETCH(FakeHttpServer::Response, response);
        QFETCH(QString, log);
        QFETCH(QString, failure);
        const QString address = m_server->address();
        m_server->response = response;
        if (response.bytes.isEmpty() && !response.keepOpen) {
            m_server.reset();
        }
        ChatClient client(response.keepOpen && response.bytes.isEmpty() ? 300ms
                                                                        : ChatClient::defaultTransferTimeout);
        QCOMPARE(rewrite(client, address), "The chat server at " + address + ' ' + failure);
        QCOMPARE(m_log, log.isEmpty() ? QStringList() : QStringList{log});
    }

    // The model is asked for with Ollama's load request ahead of the rewrite, which follows unchanged,
    // whatever becomes of the load: answered, failed, or still loading when the rewrite is sent.
    void loadsTheModelAheadOfTheRewrite_data() {
        QTest::addColumn<FakeHttpServer::Response>("load");
        QTest::newRow("loaded") << FakeHttpServer::reply("200 OK", R"({"done_reason":"load","done":true})");
        QTest::newRow("failed") << FakeHttpServer::reply("404 Not Found", R"({"error":"model not found"})");
        QTest::newRow("still loading") << FakeHttpServer::Response{{}, true};
    }

    void loadsTheModelAheadOfTheRewrite() {
        QFETCH(FakeHttpServer::Response, load);
        m_server->response = load;
        ChatClient client;
        client.loadModel(m_server->address(), "qwen2.5:7b");
        QTRY_COMPARE(m_server->requests.size(), 1);
        m_server->response = FakeHttpServer::reply("200 OK", replyWithContent("Done."));
        QCOMPARE(rewrite(client, m_server->address()), QStringLiteral("Done."));
        QCOMPARE(m_log, QStringList{completed});
        QCOMPARE(m_server->requests.size(), 2);
        QCOMPARE(m_server->requests[0].requestLine, QByteArray("POST /api/chat HTTP/1.1"));
        QCOMPARE(QJsonDocument::fromJson(m_server->requests[0].body).object(),
                 (QJsonObject{{"model", "qwen2.5:7b"}, {"messages", QJsonArray()}, {"keep_alive", "5m"}}));
        QCOMPARE(QJsonDocument::fromJson(m_server->requests[1].body)["messages"].toArray().size(), 2);
    }

    void readsNoFileThroughTheAddress() {
        QTemporaryDir directory;
        QVERIFY(QDir(directory.path()).mkpath("api"));
        QFile reply(directory.filePath("api/chat"));
        QVERIFY(reply.open(QIODevice::WriteOnly) && reply.write(replyWithContent("read from a file")) > 0);
        reply.close();
        ChatClient client;
        const QString address = QUrl::fromLocalFile(directory.path()).toString();
        QCOMPARE(rewrite(client, address),
                 "The chat server address " + address + " is not an http or https address");
        QCOMPARE(m_log, QStringList());
    }
};

QTEST_GUILESS_MAIN(ChatClientTest)
#include "tst_chatclient.moc"
