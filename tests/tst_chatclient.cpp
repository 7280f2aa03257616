#include "core/AppState.h"
#include "core/Log.h"
#include "core/SessionController.h"
#include "fakes/FakeHttpServer.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeStages.h"
#include "llm/ChatClient.h"
#include "llm/ModelWarmUp.h"
#include "platform/null/NullPlatform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

using namespace std::chrono_literals;

namespace {

constexpr int generousWait = 60000;
const QString completed = QStringLiteral("[AppState] Ollama processing complete.");
const QString timedOut = QStringLiteral("The request timed out.");
// As an expected log: one line with an error's description, whatever its wording.
const QString anyError = QStringLiteral("*");

struct Outcome {
    int calls = 0;
    bool onMainThread = false;
    std::optional<QString> text;
};

QByteArray replyWithContent(const QJsonValue& content) {
    return QJsonDocument(QJsonObject{{"message", QJsonObject{{"role", "assistant"}, {"content", content}}}})
        .toJson(QJsonDocument::Compact);
}

// Shaped like a real Ollama reply, with the fields the client must ignore.
const QByteArray ollamaReply =
    R"({"model":"llama3.2","created_at":"2025-01-21T10:15:32.123456Z",)"
    R"("message":{"role":"assistant","content":"Let us meet **tomorrow**.\n"},)"
    R"("done_reason":"stop","done":true,"total_duration":4935886791,"eval_count":237})";

} // namespace

class ChatClientTest : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeHttpServer> m_server;
    QStringList m_log;

    Outcome rewrite(ChatClient& client, const QString& host, const QString& transcript = "hello there",
                    const QString& systemPrompt = "Be brief.") {
        auto outcome = std::make_shared<Outcome>();
        client.rewriteTranscript(transcript, systemPrompt, host, "qwen2.5:7b", [outcome](const auto& text) {
            ++outcome->calls;
            outcome->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
            outcome->text = text;
        });
        // The caller checks calls, so a missing answer fails there; a second one would be queued by the end.
        (void)QTest::qWaitFor([&] { return outcome->calls > 0; }, generousWait);
        QTest::qWait(20);
        return *outcome;
    }

private slots:
    void init() {
        m_server = std::make_unique<FakeHttpServer>();
        QVERIFY(m_server->port() != 0);
        m_log.clear();
        setLogSink([this](const QString& line) { m_log.append(line); });
    }

    void cleanup() {
        setLogSink({});
        m_server.reset();
    }

    void sendsOneCompactChatRequest_data() {
        QTest::addColumn<QString>("hostSuffix");
        QTest::addColumn<QByteArray>("requestLine");
        QTest::newRow("bare host") << QString() << QByteArray("POST /api/chat HTTP/1.1");
        QTest::newRow("trailing slash kept") << QStringLiteral("/") << QByteArray("POST //api/chat HTTP/1.1");
    }

    void sendsOneCompactChatRequest() {
        QFETCH(QString, hostSuffix);
        QFETCH(QByteArray, requestLine);
        const QString transcript = QStringLiteral("Grüße, \"Welt\" 👋\nzweite Zeile\t— ✓");
        const QString prompt = QStringLiteral("Mode: Smart ✨\n\nNever use: 嘿");
        ChatClient client;
        const Outcome outcome = rewrite(client, m_server->address() + hostSuffix, transcript, prompt);
        QCOMPARE(outcome.calls, 1);
        QVERIFY(outcome.onMainThread);
        QCOMPARE(outcome.text, QStringLiteral("ok"));
        QCOMPARE(m_log, QStringList{completed});

        QCOMPARE(m_server->requests().size(), 1);
        const FakeHttpServer::Request& request = m_server->requests().first();
        QCOMPARE(request.requestLine, requestLine);
        QCOMPARE(request.header("Content-Type"), QList<QByteArray>{"application/json"});
        // Beyond our one header, only what any HTTP/1.1 client sends.
        const QList<QByteArray> standard{"host",       "content-type",    "content-length", "connection",
                                         "user-agent", "accept-encoding", "accept-language"};
        for (const auto& header : request.headers) {
            QVERIFY2(standard.contains(header.first.toLower()), header.first.constData());
        }
        QVERIFY(!request.body.contains('\n'));
        const QJsonArray messages{QJsonObject{{"role", "system"}, {"content", prompt}},
                                  QJsonObject{{"role", "user"}, {"content", transcript}}};
        QCOMPARE(QJsonDocument::fromJson(request.body).object(),
                 (QJsonObject{{"model", "qwen2.5:7b"}, {"messages", messages}, {"stream", false}}));
    }

    void answersAndFailures_data() {
        QTest::addColumn<FakeHttpServer::Response>("response");
        QTest::addColumn<std::optional<QString>>("text");
        QTest::addColumn<QString>("log");
        const auto cleaned = [](const char* name, const QString& content, const QString& text) {
            QTest::newRow(name) << FakeHttpServer::reply("200 OK", replyWithContent(content))
                                << std::optional(text) << completed;
        };
        cleaned("bold between blanks", "  **Hello** world\n", "Hello world");
        cleaned("three asterisks", "***word***", "*word*");
        cleaned("underline", "__word__", "word");
        cleaned("no second trim", " a ** ", "a ");
        cleaned("bold before underline", "_**_", "");
        cleaned("only blanks", " \t\n ", "");
        cleaned("unicode blanks", QStringLiteral("\u00a0\u2003text\u3000\u2029"), "text");
        cleaned("other markup kept", "# *a* _b_ `c`\n- d", "# *a* _b_ `c`\n- d");
        cleaned("text untouched", "Straße ** ÄÖÜ 🎙️", "Straße  ÄÖÜ 🎙️");
        QTest::newRow("real ollama reply") << FakeHttpServer::reply("200 OK", ollamaReply)
                                           << std::optional<QString>("Let us meet tomorrow.") << completed;
        QByteArray atTheLimit = replyWithContent("x");
        atTheLimit.prepend(QByteArray(ChatClient::maxReplySize - atTheLimit.size(), ' '));
        QTest::newRow("exactly the size limit")
            << FakeHttpServer::reply("200 OK", atTheLimit) << std::optional<QString>("x") << completed;

        const auto fails = [](const char* name, const FakeHttpServer::Response& response,
                              const QString& log) {
            QTest::newRow(name) << response << std::optional<QString>() << log;
        };
        fails("refused", {}, anyError); // an empty response that closes stands for a server that is gone
        fails("no answer", {{}, true}, timedOut);
        fails("half a body", {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"message\":", true}, timedOut);
        fails("oversized", FakeHttpServer::oversized(ChatClient::maxReplySize), anyError);
        const auto badReply = [&fails](const char* name, const QByteArray& status, const QByteArray& body,
                                       const QString& log) {
            fails(name, FakeHttpServer::reply(status, body), log);
        };
        badReply("html page", "502 Bad Gateway", "<html><body>Bad Gateway</body></html>", anyError);
        // Replies that parse but hold no text end silently.
        badReply("top level array", "200 OK", "[{\"message\":{\"content\":\"x\"}}]", {});
        badReply("no message", "200 OK", "{\"done\":true}", {});
        badReply("message a string", "200 OK", "{\"message\":\"hi\"}", {});
        badReply("no content", "200 OK", "{\"message\":{\"role\":\"assistant\"}}", {});
        badReply("content a number", "200 OK", "{\"message\":{\"content\":42}}", {});
        badReply("404 error reply", "404 Not Found", "{\"error\":\"model not found\"}", {});
    }

    void answersAndFailures() {
        QFETCH(FakeHttpServer::Response, response);
        QFETCH(std::optional<QString>, text);
        QFETCH(QString, log);
        const QString address = m_server->address();
        m_server->setResponse(response);
        if (response.bytes.isEmpty() && !response.keepOpen) {
            m_server.reset();
        }
        // Only the stalls get a short timeout; every other row must end without one.
        ChatClient client(log == timedOut ? 300ms : ChatClient::defaultTransferTimeout);
        const Outcome outcome = rewrite(client, address);
        QCOMPARE(outcome.calls, 1);
        QVERIFY(outcome.onMainThread);
        QCOMPARE(outcome.text, text);
        if (log == anyError) {
            QCOMPARE(m_log.size(), 1);
            QVERIFY(!m_log.first().isEmpty() && !m_log.first().contains('\n'));
            QVERIFY(!m_log.first().startsWith("[AppState]"));
        } else {
            QCOMPARE(m_log, log.isEmpty() ? QStringList() : QStringList{log});
        }
    }

    void followsNoRedirectAndSendsNoCookies() {
        m_server->setResponse(
            FakeHttpServer::reply("307 Temporary Redirect", replyWithContent("first answer"),
                                  "Location: /elsewhere\r\nSet-Cookie: session=1; Path=/\r\n"));
        ChatClient client;
        QCOMPARE(rewrite(client, m_server->address()).text, QStringLiteral("first answer"));
        QCOMPARE(rewrite(client, m_server->address()).text, QStringLiteral("first answer"));
        QCOMPARE(m_server->requests().size(), 2);
        QCOMPARE(m_server->requests()[1].requestLine, QByteArray("POST /api/chat HTTP/1.1"));
        QVERIFY(m_server->requests()[1].header("Cookie").isEmpty());
    }

    void contactsOnlyWebAddresses_data() {
        QTest::addColumn<QString>("host");
        // PORT is the fake server's port; FILE a local directory that holds a valid reply under api/chat.
        for (const char* host :
             {"FILE", "ftp://127.0.0.1:PORT", R"(data:application/json,{"message":{"content":"x"}})",
              "127.0.0.1:PORT", "localhost:PORT", "http://", "", "http://127.0.0.1:PORT "}) {
            QTest::newRow(host) << QString::fromUtf8(host);
        }
    }

    void contactsOnlyWebAddresses() {
        QFETCH(QString, host);
        QTemporaryDir directory;
        QVERIFY(QDir(directory.path()).mkpath("api"));
        QFile reply(directory.filePath("api/chat"));
        QVERIFY(reply.open(QIODevice::WriteOnly) && reply.write(replyWithContent("read from a file")) > 0);
        reply.close();
        host.replace("FILE", QUrl::fromLocalFile(directory.path()).toString());
        host.replace("PORT", QString::number(m_server->port()));

        ChatClient client;
        const Outcome outcome = rewrite(client, host);
        QCOMPARE(outcome.calls, 1);
        QCOMPARE(outcome.text, std::nullopt);
        QCOMPARE(m_log, QStringList());
        QCOMPARE(m_server->connections(), 0);
    }

    void loadsTheModelAheadOnlyWhereTheChatGoes_data() {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QByteArray>("requestLine");
        QTest::newRow("bare host") << "ADDRESS" << QByteArray("POST /api/chat HTTP/1.1");
        QTest::newRow("trailing slash kept") << "ADDRESS/" << QByteArray("POST //api/chat HTTP/1.1");
        QTest::newRow("no web address") << "127.0.0.1:PORT" << QByteArray();
        QTest::newRow("server gone") << "GONE" << QByteArray();
    }

    void loadsTheModelAheadOnlyWhereTheChatGoes() {
        QFETCH(QString, host);
        QFETCH(QByteArray, requestLine);
        host.replace("ADDRESS", m_server->address()).replace("PORT", QString::number(m_server->port()));
        if (host == "GONE") {
            host = m_server->address();
            m_server.reset();
        }
        QNetworkAccessManager network;
        requestModelLoad(network, host, "qwen2.5:7b");
        QTest::qWait(200);
        QCOMPARE(m_log, QStringList());
        if (!m_server) {
            return;
        }
        QTRY_COMPARE(m_server->requests().size(), requestLine.isEmpty() ? 0 : 1);
        QCOMPARE(m_server->connections(), requestLine.isEmpty() ? 0 : 1);
        if (!requestLine.isEmpty()) {
            const FakeHttpServer::Request& request = m_server->requests().first();
            QCOMPARE(request.requestLine, requestLine);
            QCOMPARE(
                QJsonDocument::fromJson(request.body).object(),
                (QJsonObject{{"model", "qwen2.5:7b"}, {"messages", QJsonArray()}, {"keep_alive", "5m"}}));
        }
    }

    void chatFailureEndsTheDictationQuietly_data() {
        QTest::addColumn<bool>("serverRunning");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QStringList>("delivered");
        QTest::newRow("refused connection") << false << QByteArray() << QStringList();
        QTest::newRow("reply") << true << replyWithContent(" **Hello** there ") << QStringList{"Hello there"};
    }

    // The real client inside a whole dictation: only a reply reaches the deliverer, and every ending returns
    // to idle with the recording removed.
    void chatFailureEndsTheDictationQuietly() {
        QFETCH(bool, serverRunning);
        QFETCH(QByteArray, body);
        QFETCH(QStringList, delivered);
        QTemporaryDir directory;
        QSettings settings(directory.filePath("settings.conf"), QSettings::IniFormat);
        AppState state(settings, "en_US", [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
        state.setOllamaHost(m_server->address());
        m_server->setResponse(FakeHttpServer::reply("200 OK", body));
        if (!serverRunning) {
            m_server.reset();
        }
        FakeClock clock;
        FakeMicrophonePermission microphone;
        FakeWorkspace workspace;
        FakeRecorder recorder(state);
        FakeTranscriber transcriber;
        ChatClient chat;
        FakeTextDeliverer deliverer;
        SessionController controller(state, clock, microphone, workspace,
                                     {recorder, transcriber, chat, deliverer});

        controller.startDictation();
        QTRY_COMPARE(state.recordingState(), RecordingState::recording);
        controller.stopDictation();
        const QString recording = directory.filePath("murmo_recording.m4a");
        QVERIFY(QFile(recording).open(QIODevice::WriteOnly));
        controller.recordingDidFinish(recording, std::nullopt);
        transcriber.answer(QStringLiteral("hello there"));

        QTRY_COMPARE_WITH_TIMEOUT(state.recordingState(), RecordingState::idle, generousWait);
        QCOMPARE(deliverer.delivered, delivered);
        QVERIFY(!QFile::exists(recording));
    }
};

QTEST_GUILESS_MAIN(ChatClientTest)
#include "tst_chatclient.moc"
