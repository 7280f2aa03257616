#include "core/AppState.h"
#include "core/Log.h"
#include "core/SessionController.h"
#include "fakes/FakeHttpServer.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeStages.h"
#include "llm/ChatClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <memory>

using namespace std::chrono_literals;

namespace {

constexpr int generousWait = 60000;

struct Outcome {
    int calls = 0;
    bool onMainThread = false;
    std::optional<QString> text;
};

QByteArray replyWithContent(const QJsonValue& content) {
    return QJsonDocument(QJsonObject{{"message", QJsonObject{{"role", "assistant"}, {"content", content}}}})
        .toJson(QJsonDocument::Compact);
}

} // namespace

class ChatClientTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sendsOneCompactChatRequest();
    void keepsTheHostTextAsGiven();
    void cleansTheReply_data();
    void cleansTheReply();
    void acceptsARealOllamaReply();
    void endsWithoutResultOnABadReply_data();
    void endsWithoutResultOnABadReply();
    void takesTheFirstAnswerAndSendsNoCookies();
    void logsARefusedConnection();
    void givesUpOnASilentServer_data();
    void givesUpOnASilentServer();
    void abandonsAnOversizedReplyAsItArrives();
    void acceptsAReplyOfExactlyTheLimit();
    void contactsOnlyWebAddresses_data();
    void contactsOnlyWebAddresses();
    void chatFailureEndsTheDictationQuietly_data();
    void chatFailureEndsTheDictationQuietly();

private:
    std::shared_ptr<Outcome> rewrite(ChatClient& client, const QString& host,
                                     const QString& transcript = QStringLiteral("hello there"),
                                     const QString& systemPrompt = QStringLiteral("Be brief."),
                                     const QString& model = QStringLiteral("llama3.2"));

    std::unique_ptr<FakeHttpServer> m_server;
    QStringList m_log;
};

void ChatClientTest::init() {
    m_server = std::make_unique<FakeHttpServer>();
    QVERIFY(m_server->port() != 0);
    m_log.clear();
    setLogSink([this](const QString& line) { m_log.append(line); });
}

void ChatClientTest::cleanup() {
    setLogSink({});
    m_server.reset();
}

std::shared_ptr<Outcome> ChatClientTest::rewrite(ChatClient& client, const QString& host,
                                                 const QString& transcript, const QString& systemPrompt,
                                                 const QString& model) {
    auto outcome = std::make_shared<Outcome>();
    client.rewriteTranscript(
        transcript, systemPrompt, host, model, [outcome](const std::optional<QString>& text) {
            ++outcome->calls;
            outcome->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
            outcome->text = text;
        });
    // The caller checks calls, so a missing answer fails there.
    (void)QTest::qWaitFor([&] { return outcome->calls > 0; }, generousWait);
    // Any second answer would be queued behind the first by now.
    QTest::qWait(20);
    return outcome;
}

void ChatClientTest::sendsOneCompactChatRequest() {
    ChatClient client;
    const QString transcript = QStringLiteral("Grüße, \"Welt\" 👋\nzweite Zeile\t— ✓");
    const QString prompt = QStringLiteral("Mode: Smart ✨\n\nNever use: 嘿");
    const auto outcome =
        rewrite(client, m_server->address(), transcript, prompt, QStringLiteral("qwen2.5:7b"));

    QCOMPARE(outcome->calls, 1);
    QVERIFY(outcome->onMainThread);
    QCOMPARE(outcome->text, QStringLiteral("ok"));
    QCOMPARE(m_log, QStringList{QStringLiteral("[AppState] Ollama processing complete.")});

    QCOMPARE(m_server->requests().size(), 1);
    const FakeHttpServer::Request& request = m_server->requests().first();
    QCOMPARE(request.requestLine, QByteArray("POST /api/chat HTTP/1.1"));
    QCOMPARE(request.header("Content-Type"), QList<QByteArray>{"application/json"});
    // Beyond our one header, only what any HTTP/1.1 client sends.
    const QList<QByteArray> standard{"host",       "content-type",    "content-length", "connection",
                                     "user-agent", "accept-encoding", "accept-language"};
    for (const auto& header : request.headers) {
        QVERIFY2(standard.contains(header.first.toLower()), header.first.constData());
    }

    QVERIFY(!request.body.contains('\n'));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(request.body, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonObject body = document.object();
    QStringList keys = body.keys();
    keys.sort();
    QCOMPARE(keys, (QStringList{"messages", "model", "stream"}));
    QCOMPARE(body.value("model"), QJsonValue("qwen2.5:7b"));
    QVERIFY(body.value("stream").isBool());
    QCOMPARE(body.value("stream").toBool(), false);
    QVERIFY(body.value("messages").isArray());
    const QJsonArray messages = body.value("messages").toArray();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].toObject(), (QJsonObject{{"role", "system"}, {"content", prompt}}));
    QCOMPARE(messages[1].toObject(), (QJsonObject{{"role", "user"}, {"content", transcript}}));
}

void ChatClientTest::keepsTheHostTextAsGiven() {
    ChatClient client;
    const auto outcome = rewrite(client, m_server->address() + "/");
    QCOMPARE(outcome->text, QStringLiteral("ok"));
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(m_server->requests().first().requestLine, QByteArray("POST //api/chat HTTP/1.1"));
}

void ChatClientTest::cleansTheReply_data() {
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("cleaned");

    QTest::newRow("bold word between blanks") << "  **Hello** world\n"
                                              << "Hello world";
    QTest::newRow("runs of three asterisks") << "***word***"
                                             << "*word*";
    QTest::newRow("underline") << "__word__"
                               << "word";
    QTest::newRow("blank left by a removal stays") << " a ** "
                                                   << "a ";
    QTest::newRow("bold removed before underline") << "_**_"
                                                   << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("only blanks") << " \t\n "
                                 << "";
    QTest::newRow("unicode blanks") << QStringLiteral("\u00a0\u2003text\u3000\u2029") << "text";
    QTest::newRow("other markup kept") << "# *a* _b_ `c`\n- d"
                                       << "# *a* _b_ `c`\n- d";
    QTest::newRow("case and text untouched") << "Straße ** ÄÖÜ 🎙️"
                                             << "Straße  ÄÖÜ 🎙️";
}

void ChatClientTest::cleansTheReply() {
    QFETCH(QString, content);
    QFETCH(QString, cleaned);
    m_server->setResponse(FakeHttpServer::reply("200 OK", replyWithContent(content)));
    ChatClient client;
    const auto outcome = rewrite(client, m_server->address());
    QCOMPARE(outcome->text, cleaned);
    QCOMPARE(m_log, QStringList{QStringLiteral("[AppState] Ollama processing complete.")});
}

void ChatClientTest::acceptsARealOllamaReply() {
    const QByteArray body =
        R"({"model":"llama3.2","created_at":"2025-01-21T10:15:32.123456Z",)"
        R"("message":{"role":"assistant","content":"Let's meet **tomorrow** at ten.\n"},)"
        R"("done_reason":"stop","done":true,"total_duration":4935886791,"load_duration":534986708,)"
        R"("prompt_eval_count":26,"prompt_eval_duration":107345000,"eval_count":237,"eval_duration":4289432000})";
    m_server->setResponse(
        FakeHttpServer::reply("200 OK", body, "Content-Type: application/json; charset=utf-8\r\n"));
    ChatClient client;
    const auto outcome = rewrite(client, m_server->address());
    QCOMPARE(outcome->text, QStringLiteral("Let's meet tomorrow at ten."));
    QCOMPARE(m_log, QStringList{QStringLiteral("[AppState] Ollama processing complete.")});
}

void ChatClientTest::endsWithoutResultOnABadReply_data() {
    QTest::addColumn<QByteArray>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("logsParseError");

    QTest::newRow("html page") << QByteArray("200 OK") << QByteArray("<html><body>Bad Gateway</body></html>")
                               << true;
    QTest::newRow("empty body") << QByteArray("200 OK") << QByteArray() << true;
    QTest::newRow("cut-off json") << QByteArray("200 OK") << QByteArray(R"({"message":{"content":"x")")
                                  << true;
    QTest::newRow("html error status") << QByteArray("502 Bad Gateway") << QByteArray("<h1>502</h1>") << true;
    QTest::newRow("top level array") << QByteArray("200 OK") << QByteArray(R"([{"message":{"content":"x"}}])")
                                     << false;
    QTest::newRow("no message") << QByteArray("200 OK") << QByteArray(R"({"done":true})") << false;
    QTest::newRow("message a string") << QByteArray("200 OK") << QByteArray(R"({"message":"hi"})") << false;
    QTest::newRow("no content") << QByteArray("200 OK") << QByteArray(R"({"message":{"role":"assistant"}})")
                                << false;
    QTest::newRow("content a number")
        << QByteArray("200 OK") << QByteArray(R"({"message":{"content":42}})") << false;
    QTest::newRow("content null") << QByteArray("200 OK") << QByteArray(R"({"message":{"content":null}})")
                                  << false;
    QTest::newRow("404 error reply") << QByteArray("404 Not Found")
                                     << QByteArray(
                                            R"({"error":"model \"llama3.2\" not found, try pulling it"})")
                                     << false;
}

void ChatClientTest::endsWithoutResultOnABadReply() {
    QFETCH(QByteArray, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, logsParseError);
    m_server->setResponse(FakeHttpServer::reply(status, body));
    ChatClient client;
    const auto outcome = rewrite(client, m_server->address());
    QCOMPARE(outcome->calls, 1);
    QCOMPARE(outcome->text, std::nullopt);
    QCOMPARE(m_log.size(), logsParseError ? 1 : 0);
    if (logsParseError) {
        QVERIFY(!m_log.first().isEmpty());
        QVERIFY(!m_log.first().contains('\n'));
        QVERIFY(!m_log.first().startsWith("[AppState]"));
    }
}

void ChatClientTest::takesTheFirstAnswerAndSendsNoCookies() {
    m_server->setResponse(FakeHttpServer::reply("307 Temporary Redirect", replyWithContent("first answer"),
                                                "Location: /elsewhere\r\nSet-Cookie: session=1; Path=/\r\n"));
    ChatClient client;
    QCOMPARE(rewrite(client, m_server->address())->text, QStringLiteral("first answer"));
    QCOMPARE(rewrite(client, m_server->address())->text, QStringLiteral("first answer"));
    QCOMPARE(m_server->requests().size(), 2);
    QCOMPARE(m_server->requests()[0].requestLine, QByteArray("POST /api/chat HTTP/1.1"));
    QCOMPARE(m_server->requests()[1].requestLine, QByteArray("POST /api/chat HTTP/1.1"));
    QVERIFY(m_server->requests()[1].header("Cookie").isEmpty());
}

void ChatClientTest::logsARefusedConnection() {
    const QString address = m_server->address();
    m_server.reset();
    ChatClient client;
    const auto outcome = rewrite(client, address);
    QCOMPARE(outcome->calls, 1);
    QCOMPARE(outcome->text, std::nullopt);
    QCOMPARE(m_log.size(), 1);
    QVERIFY(!m_log.first().isEmpty());
    QVERIFY(!m_log.first().startsWith("[AppState]"));
}

void ChatClientTest::givesUpOnASilentServer_data() {
    QTest::addColumn<QByteArray>("sentBeforeSilence");

    QTest::newRow("no answer at all") << QByteArray();
    QTest::newRow("half a body") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"message\":");
}

void ChatClientTest::givesUpOnASilentServer() {
    QFETCH(QByteArray, sentBeforeSilence);
    m_server->setResponse({sentBeforeSilence, true});
    ChatClient client(300ms);
    const auto outcome = rewrite(client, m_server->address());
    QCOMPARE(outcome->calls, 1);
    QCOMPARE(outcome->text, std::nullopt);
    QCOMPARE(m_log, QStringList{QStringLiteral("The request timed out.")});
}

void ChatClientTest::abandonsAnOversizedReplyAsItArrives() {
    // The server announces far more than it sends and then holds the connection: only a client that counts
    // as the body arrives gets out before its transfer timeout.
    const QByteArray head =
        "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(4 * ChatClient::maxReplySize) + "\r\n\r\n";
    m_server->setResponse({head + QByteArray(ChatClient::maxReplySize + 1, ' '), true});
    ChatClient client;
    const auto outcome = rewrite(client, m_server->address());
    QCOMPARE(outcome->calls, 1);
    QCOMPARE(outcome->text, std::nullopt);
    QCOMPARE(m_log.size(), 1);
    QVERIFY(!m_log.first().startsWith("[AppState]"));
}

void ChatClientTest::acceptsAReplyOfExactlyTheLimit() {
    QByteArray body = replyWithContent("x");
    body.prepend(QByteArray(ChatClient::maxReplySize - body.size(), ' '));
    m_server->setResponse(FakeHttpServer::reply("200 OK", body));
    ChatClient client;
    const auto outcome = rewrite(client, m_server->address());
    QCOMPARE(outcome->text, QStringLiteral("x"));
}

void ChatClientTest::contactsOnlyWebAddresses_data() {
    QTest::addColumn<QString>("host");

    // PORT is the fake server's port; FILE a local directory that holds a valid reply under api/chat.
    QTest::newRow("file") << QStringLiteral("FILE");
    QTest::newRow("ftp") << QStringLiteral("ftp://127.0.0.1:PORT");
    QTest::newRow("data") << QStringLiteral(R"(data:application/json,{"message":{"content":"x"}})");
    QTest::newRow("no scheme") << QStringLiteral("127.0.0.1:PORT");
    QTest::newRow("host taken for a scheme") << QStringLiteral("localhost:PORT");
    QTest::newRow("no host") << QStringLiteral("http://");
    QTest::newRow("scheme only") << QStringLiteral("http:");
    QTest::newRow("empty") << QString();
    QTest::newRow("blank inside") << QStringLiteral("http://127.0.0.1:PORT ");
}

void ChatClientTest::contactsOnlyWebAddresses() {
    QFETCH(QString, host);
    QTemporaryDir directory;
    QVERIFY(QDir(directory.path()).mkpath("api"));
    QFile reply(directory.filePath("api/chat"));
    QVERIFY(reply.open(QIODevice::WriteOnly));
    reply.write(replyWithContent("read from a file"));
    reply.close();
    host.replace("FILE", QUrl::fromLocalFile(directory.path()).toString());
    host.replace("PORT", QString::number(m_server->port()));

    ChatClient client;
    const auto outcome = rewrite(client, host);
    QCOMPARE(outcome->calls, 1);
    QCOMPARE(outcome->text, std::nullopt);
    QCOMPARE(m_log, QStringList());
    QCOMPARE(m_server->connections(), 0);
}

void ChatClientTest::chatFailureEndsTheDictationQuietly_data() {
    QTest::addColumn<bool>("serverRunning");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("delivered");

    QTest::newRow("refused connection") << false << QByteArray() << QStringList();
    QTest::newRow("html page") << true << QByteArray("<html>Bad Gateway</html>") << QStringList();
    QTest::newRow("error reply") << true << QByteArray(R"({"error":"model not found"})") << QStringList();
    QTest::newRow("reply") << true << replyWithContent(" **Hello** there ") << QStringList{"Hello there"};
}

// The real client inside a whole dictation: only a reply reaches the deliverer, and every ending returns to
// idle with the overlay hidden and the recording removed.
void ChatClientTest::chatFailureEndsTheDictationQuietly() {
    QFETCH(bool, serverRunning);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, delivered);

    QTemporaryDir directory;
    QSettings settings(directory.filePath("settings.conf"), QSettings::IniFormat);
    QStringList overlayCalls;
    AppState state(settings, QStringLiteral("en_US"),
                   [&](AppState&) { return std::make_unique<FakeOverlayWindow>(overlayCalls); });
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
                                 SessionController::Stages{recorder, transcriber, chat, deliverer});

    controller.startDictation();
    QTRY_COMPARE(state.recordingState(), RecordingState::recording);
    controller.stopDictation();
    const QString recording = directory.filePath("murmo_recording.m4a");
    QFile file(recording);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    controller.recordingDidFinish(recording, std::nullopt);
    transcriber.answer(QStringLiteral("hello there"));

    QTRY_COMPARE_WITH_TIMEOUT(state.recordingState(), RecordingState::idle, generousWait);
    QCOMPARE(deliverer.delivered, delivered);
    QCOMPARE(overlayCalls.last(), QStringLiteral("hide"));
    QVERIFY(!QFile::exists(recording));
    QCOMPARE(m_log.first(), QStringLiteral("[AppState] Transcription: hello there"));
}

QTEST_GUILESS_MAIN(ChatClientTest)
#include "tst_chatclient.moc"
