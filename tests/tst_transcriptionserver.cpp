#include "core/AppState.h"
#include "core/WebRequest.h"
#include "fakes/FakeHttpServer.h"
#include "fakes/SpokenRecording.h"
#include "platform/PlatformServices.h"
#include "platform/linux/PocketsphinxRecognition.h"
#include "platform/linux/SpeechRecognitionChoice.h"
#include "platform/linux/TranscriptionServerRecognition.h"
#include "platform/linux/WhisperLanguages.h"
#include "platform/null/NullPlatform.h"
#include "speech/SpeechTranscriber.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>

using namespace std::chrono_literals;

namespace {

constexpr int generousWait = 60000;

struct Report {
    int calls = 0;
    RecognitionUpdate update;
    bool onMainThread = false;
};

struct FormField {
    QByteArray disposition;
    QByteArray contentType;
    QByteArray body;
};

QByteArray headerValue(const QByteArray& head, const QByteArray& name) {
    for (const QByteArray& line : head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            return line.mid(colon + 1).trimmed();
        }
    }
    return {};
}

// The fields of a multipart/form-data body by name; empty when the body is not such a form.
QMap<QByteArray, FormField> formFields(const FakeHttpServer::Request& request) {
    const QByteArray contentType = request.header("Content-Type").value(0);
    const QRegularExpressionMatch boundaryMatch =
        QRegularExpression(R"re(^multipart/form-data;\s*boundary="?([^";]+)"?$)re").match(contentType);
    QMap<QByteArray, FormField> fields;
    if (!boundaryMatch.hasMatch()) {
        return fields;
    }
    const QByteArray delimiter = "--" + boundaryMatch.captured(1).toLatin1();
    const QByteArray& body = request.body;
    qsizetype position = body.startsWith(delimiter + "\r\n") ? 0 : -1;
    while (position >= 0) {
        const qsizetype start = position + delimiter.size() + 2;
        const qsizetype end = body.indexOf("\r\n" + delimiter, start);
        if (end < 0) {
            break;
        }
        const QByteArray part = body.mid(start, end - start);
        const qsizetype headEnd = part.indexOf("\r\n\r\n");
        const QByteArray head = part.left(headEnd);
        FormField field{headerValue(head, "Content-Disposition"), headerValue(head, "Content-Type"),
                        part.mid(headEnd + 4)};
        const QRegularExpressionMatch name =
            QRegularExpression(R"re(\bname="([^"]*)")re").match(QString::fromLatin1(field.disposition));
        fields.insert(name.captured(1).toLatin1(), field);
        position = body.mid(end + 2 + delimiter.size(), 2) == "--" ? -1 : end + 2;
    }
    return fields;
}

template <typename Integer>
Integer littleEndianAt(const QByteArray& bytes, qsizetype offset) {
    return qFromLittleEndian<Integer>(bytes.constData() + offset);
}

// How long a WAV file of 16-bit mono samples with the canonical 44-byte header plays, in seconds.
double monoWaveDuration(const QByteArray& wave) {
    return double(wave.size() - 44) / (2.0 * littleEndianAt<quint32>(wave, 24));
}

QByteArray transcriptionReply(const QJsonValue& text) {
    return QJsonDocument(QJsonObject{{"text", text}}).toJson(QJsonDocument::Compact);
}

} // namespace

// The transcription server backend against a fake server on 127.0.0.1, with real recordings made by
// espeak-ng and encoded as the recorder does.
class TranscriptionServerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sendsTheRecordingAsAWaveForm();
    void postsUnderTheBaseAddress_data();
    void postsUnderTheBaseAddress();
    void knowsWhisperLanguages();
    void takesTheRepliesText_data();
    void takesTheRepliesText();
    void failuresEndWithAnError_data();
    void failuresEndWithAnError();
    void unreadableAudioIsNotSent_data();
    void unreadableAudioIsNotSent();
    void destroyedRecognizerReportsNothing();
    void readsNoFileThroughTheAddress();
    void environmentChoosesTheBackend_data();
    void environmentChoosesTheBackend();
    void wholeTranscriptionTakesTheServersText();

private:
    std::shared_ptr<Report> recognize(SpeechRecognizer& recognizer, const QString& path);

    QTemporaryDir m_dir;
    QString m_speech;
    double m_speechDuration = 0;
    std::unique_ptr<FakeHttpServer> m_server;
};

void TranscriptionServerTest::initTestCase() {
    const QString wave = m_dir.filePath(QStringLiteral("speech.wav"));
    m_speech = m_dir.filePath(QStringLiteral("speech.m4a"));
    QVERIFY(makeSpokenRecording(QStringLiteral("Please send the report to the team before Friday."), wave,
                                m_speech));
    QFile spoken(wave);
    QVERIFY(spoken.open(QIODevice::ReadOnly));
    m_speechDuration = monoWaveDuration(spoken.readAll());
    QVERIFY(m_speechDuration > 1.0);
}

void TranscriptionServerTest::init() {
    m_server = std::make_unique<FakeHttpServer>();
    QVERIFY(m_server->port() != 0);
    m_server->setResponse(FakeHttpServer::reply("200 OK", transcriptionReply(" Send the report.\n")));
}

void TranscriptionServerTest::cleanup() {
    m_server.reset();
    qunsetenv("MURMURO_SPEECH_SERVER");
    qunsetenv("MURMURO_SPEECH_MODEL");
}

std::shared_ptr<Report> TranscriptionServerTest::recognize(SpeechRecognizer& recognizer,
                                                           const QString& path) {
    auto report = std::make_shared<Report>();
    recognizer.recognizeFile(path, [report](const RecognitionUpdate& update) {
        ++report->calls;
        report->update = update;
        report->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    // The caller checks calls, so a missing answer fails there.
    (void)QTest::qWaitFor([&] { return report->calls > 0; }, generousWait);
    // Any second answer would be queued behind the first by now.
    QTest::qWait(20);
    return report;
}

void TranscriptionServerTest::sendsTheRecordingAsAWaveForm() {
    const std::unique_ptr<SpeechRecognition> speech = chooseSpeechRecognition(m_server->address(), QString());
    const std::unique_ptr<SpeechRecognizer> recognizer = speech->createRecognizer(QStringLiteral("de-DE"));
    QVERIFY(recognizer && recognizer->isAvailable());
    const auto report = recognize(*recognizer, QUrl::fromLocalFile(m_speech).toString());

    QCOMPARE(report->calls, 1);
    QVERIFY(report->onMainThread);
    QVERIFY(report->update.isFinal);
    QCOMPARE(report->update.text, QStringLiteral("Send the report."));
    QCOMPARE(report->update.error, std::nullopt);

    QCOMPARE(m_server->requests().size(), 1);
    const FakeHttpServer::Request& request = m_server->requests().first();
    QCOMPARE(request.requestLine, QByteArray("POST /v1/audio/transcriptions HTTP/1.1"));
    const QMap<QByteArray, FormField> fields = formFields(request);
    QCOMPARE(fields.keys(), (QList<QByteArray>{"file", "language", "model", "response_format"}));
    QCOMPARE(fields["model"].body, QByteArray("whisper-1"));
    QCOMPARE(fields["language"].body, QByteArray("de"));
    QCOMPARE(fields["response_format"].body, QByteArray("json"));
    QVERIFY(fields["file"].disposition.contains("filename=\"recording.wav\""));
    QCOMPARE(fields["file"].contentType, QByteArray("audio/wav"));

    const QByteArray wave = fields["file"].body;
    QVERIFY(wave.size() > 44);
    QCOMPARE(wave.left(4), QByteArray("RIFF"));
    QCOMPARE(littleEndianAt<quint32>(wave, 4), quint32(wave.size() - 8));
    QCOMPARE(wave.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(littleEndianAt<quint32>(wave, 16), 16u);
    QCOMPARE(littleEndianAt<quint16>(wave, 20), quint16(1));
    QCOMPARE(littleEndianAt<quint16>(wave, 22), quint16(1));
    QCOMPARE(littleEndianAt<quint32>(wave, 24), 16000u);
    QCOMPARE(littleEndianAt<quint32>(wave, 28), 32000u);
    QCOMPARE(littleEndianAt<quint16>(wave, 32), quint16(2));
    QCOMPARE(littleEndianAt<quint16>(wave, 34), quint16(16));
    QCOMPARE(wave.mid(36, 4), QByteArray("data"));
    QCOMPARE(littleEndianAt<quint32>(wave, 40), quint32(wave.size() - 44));
    // The AAC encoder adds a few milliseconds of padding at either end.
    QVERIFY2(
        qAbs(monoWaveDuration(wave) - m_speechDuration) < 0.15,
        qPrintable(
            QStringLiteral("%1 s sent for %2 s spoken").arg(monoWaveDuration(wave)).arg(m_speechDuration)));
}

void TranscriptionServerTest::postsUnderTheBaseAddress_data() {
    QTest::addColumn<QString>("base");
    QTest::addColumn<QByteArray>("path");

    QTest::newRow("bare") << QString() << QByteArray("/v1/audio/transcriptions");
    QTest::newRow("trailing slash") << QStringLiteral("/") << QByteArray("/v1/audio/transcriptions");
    QTest::newRow("below a path") << QStringLiteral("/whisper/")
                                  << QByteArray("/whisper/v1/audio/transcriptions");
}

void TranscriptionServerTest::postsUnderTheBaseAddress() {
    QFETCH(QString, base);
    QFETCH(QByteArray, path);
    TranscriptionServerRecognition speech(m_server->address() + base, QStringLiteral("base"));
    const std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("en-US"));
    QVERIFY(recognize(*recognizer, m_speech)->update.text);
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(m_server->requests().first().requestLine, "POST " + path + " HTTP/1.1");
}

void TranscriptionServerTest::knowsWhisperLanguages() {
    const QList<QPair<QString, QString>> known = {
        {"de-DE", "de"}, {"en_US", "en"},      {"en-GB", "en"},       {"pt", "pt"},     {"EN-us", "en"},
        {"nb_NO", "no"}, {"zh-Hans-CN", "zh"}, {"sr_RS@latin", "sr"}, {"haw-US", "haw"}};
    for (const auto& [locale, language] : known) {
        QCOMPARE(whisperLanguage(locale), language);
    }
    TranscriptionServerRecognition speech(m_server->address(), QStringLiteral("whisper-1"));
    for (const char* unknown : {"xx-INVENTED", "", "C", "tlh", "-DE", "e"}) {
        QVERIFY2(!whisperLanguage(QString::fromLatin1(unknown)), unknown);
        QVERIFY2(!speech.createRecognizer(QString::fromLatin1(unknown)), unknown);
    }
}

void TranscriptionServerTest::takesTheRepliesText_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");

    QTest::newRow("spaced") << transcriptionReply("  Hallo Welt.\n") << QStringLiteral("Hallo Welt.");
    QTest::newRow("silence") << transcriptionReply("") << QString();
    QTest::newRow("more fields") << QByteArray(R"({"task":"transcribe","text":"Ja.","segments":[]})")
                                 << QStringLiteral("Ja.");
}

void TranscriptionServerTest::takesTheRepliesText() {
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    m_server->setResponse(FakeHttpServer::reply("200 OK", body));
    TranscriptionServerRecognition speech(m_server->address(), QStringLiteral("whisper-1"));
    const std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("de-DE"));
    const auto report = recognize(*recognizer, m_speech);
    QCOMPARE(report->calls, 1);
    QVERIFY(report->update.isFinal);
    QCOMPARE(report->update.text, text);
}

void TranscriptionServerTest::failuresEndWithAnError_data() {
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("keepOpen");
    QTest::addColumn<bool>("serverRunning");

    const auto reply = [](const QByteArray& status, const QByteArray& body) {
        return FakeHttpServer::reply(status, body).bytes;
    };
    QTest::newRow("refused") << QByteArray() << false << false;
    // With the short limit the test sets, only an abandoned wait ends these two.
    QTest::newRow("no answer") << QByteArray() << true << true;
    QTest::newRow("half a body") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"text\":")
                                 << true << true;
    QTest::newRow("html page") << reply("200 OK", "<html>Bad Gateway</html>") << false << true;
    QTest::newRow("empty body") << reply("200 OK", "") << false << true;
    QTest::newRow("error reply") << reply("500 Internal Server Error", R"({"error":"model not loaded"})")
                                 << false << true;
    QTest::newRow("text a number") << reply("200 OK", R"({"text":42})") << false << true;
    QTest::newRow("text null") << reply("200 OK", R"({"text":null})") << false << true;
    QTest::newRow("top level array") << reply("200 OK", R"([{"text":"x"}])") << false << true;
    QTest::newRow("plain text") << reply("200 OK", "Send the report.") << false << true;
    // Announces far more than it sends, then holds the connection: only counting the body as it arrives gets
    // out before the limit.
    QTest::newRow("oversized") << "HTTP/1.1 200 OK\r\nContent-Length: " +
                                      QByteArray::number(4 * maxWebReplySize) + "\r\n\r\n" +
                                      QByteArray(maxWebReplySize + 1, ' ')
                               << true << true;
}

void TranscriptionServerTest::failuresEndWithAnError() {
    QFETCH(QByteArray, response);
    QFETCH(bool, keepOpen);
    QFETCH(bool, serverRunning);
    const QString address = m_server->address();
    m_server->setResponse({response, keepOpen});
    if (!serverRunning) {
        m_server.reset();
    }
    const bool stalls = keepOpen && response.size() < maxWebReplySize;
    TranscriptionServerRecognition speech(address, QStringLiteral("whisper-1"),
                                          stalls ? 300ms
                                                 : TranscriptionServerRecognition::defaultAnswerTimeout);
    const std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("en-US"));
    QVERIFY(recognizer->isAvailable());
    const auto report = recognize(*recognizer, m_speech);
    QCOMPARE(report->calls, 1);
    QVERIFY(report->onMainThread);
    QVERIFY(report->update.error.has_value());
    QCOMPARE(report->update.text, std::nullopt);
}

void TranscriptionServerTest::unreadableAudioIsNotSent_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents");

    QTest::newRow("text") << QStringLiteral("notes.m4a")
                          << QByteArray("This is not audio at all.\n").repeated(200);
    QTest::newRow("empty") << QStringLiteral("empty.m4a") << QByteArray();
    QTest::newRow("missing") << QStringLiteral("missing.m4a") << QByteArray();
}

void TranscriptionServerTest::unreadableAudioIsNotSent() {
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    const QString path = m_dir.filePath(name);
    if (name != QLatin1String("missing.m4a")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    TranscriptionServerRecognition speech(m_server->address(), QStringLiteral("whisper-1"));
    const std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("en-US"));
    const auto report = recognize(*recognizer, path);
    QCOMPARE(report->calls, 1);
    QVERIFY(report->onMainThread);
    QVERIFY(report->update.error.has_value());
    QCOMPARE(m_server->connections(), 0);
}

void TranscriptionServerTest::destroyedRecognizerReportsNothing() {
    m_server->setResponse({QByteArray(), true});
    TranscriptionServerRecognition speech(m_server->address(), QStringLiteral("whisper-1"));
    std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("en-US"));
    auto report = std::make_shared<Report>();
    recognizer->recognizeFile(m_speech, [report](const RecognitionUpdate&) { ++report->calls; });
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 1, generousWait);
    recognizer.reset();
    QTest::qWait(200);
    QCOMPARE(report->calls, 0);
}

void TranscriptionServerTest::readsNoFileThroughTheAddress() {
    QTemporaryDir served;
    QVERIFY(QDir(served.path()).mkpath(QStringLiteral("v1/audio")));
    QFile reply(served.filePath(QStringLiteral("v1/audio/transcriptions")));
    QVERIFY(reply.open(QIODevice::WriteOnly));
    reply.write(transcriptionReply("read from a file"));
    reply.close();

    TranscriptionServerRecognition speech(QUrl::fromLocalFile(served.path()).toString(),
                                          QStringLiteral("whisper-1"));
    const std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("en-US"));
    QVERIFY(!recognizer->isAvailable());
    const auto report = recognize(*recognizer, m_speech);
    QCOMPARE(report->calls, 1);
    QVERIFY(report->update.error.has_value());
    QCOMPARE(report->update.text, std::nullopt);
}

void TranscriptionServerTest::environmentChoosesTheBackend_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("usesServer");

    // PORT is the fake server's port.
    QTest::newRow("unset") << QString() << false;
    QTest::newRow("http") << QStringLiteral("http://127.0.0.1:PORT") << true;
    QTest::newRow("https") << QStringLiteral("https://127.0.0.1:PORT/") << true;
    QTest::newRow("ftp") << QStringLiteral("ftp://127.0.0.1:PORT") << false;
    QTest::newRow("file") << QStringLiteral("file:///tmp") << false;
    QTest::newRow("no scheme") << QStringLiteral("127.0.0.1:PORT") << false;
    QTest::newRow("no host") << QStringLiteral("http://") << false;
}

void TranscriptionServerTest::environmentChoosesTheBackend() {
    QFETCH(QString, server);
    QFETCH(bool, usesServer);
    server.replace(QStringLiteral("PORT"), QString::number(m_server->port()));
    if (!server.isNull()) {
        qputenv("MURMURO_SPEECH_SERVER", server.toUtf8());
    }
    const PlatformServices services = createPlatformServices();
    SpeechRecognition* chosen = services.speechRecognition.get();
    QCOMPARE(dynamic_cast<TranscriptionServerRecognition*>(chosen) != nullptr, usesServer);
    QCOMPARE(dynamic_cast<PocketsphinxRecognition*>(chosen) != nullptr, !usesServer);
    QCOMPARE(m_server->connections(), 0);
}

// The backend as the program sets it up, inside the transcriber, for a user whose locale Whisper does not
// know.
void TranscriptionServerTest::wholeTranscriptionTakesTheServersText() {
    qputenv("MURMURO_SPEECH_SERVER", m_server->address().toUtf8());
    qputenv("MURMURO_SPEECH_MODEL", "large-v3");
    const PlatformServices services = createPlatformServices();
    std::optional<SpeechRecognition::AuthorizationStatus> authorization;
    services.speechRecognition->requestAuthorization(
        [&authorization](SpeechRecognition::AuthorizationStatus status) { authorization = status; });
    QCOMPARE(authorization, SpeechRecognition::AuthorizationStatus::authorized);
    QSettings settings(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    AppState state(settings, QStringLiteral("xx-INVENTED"),
                   [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
    SpeechTranscriber transcriber(state, *services.speechRecognition);

    int calls = 0;
    std::optional<QString> transcript;
    transcriber.transcribeAudio(QUrl::fromLocalFile(m_speech).toString(),
                                [&](const std::optional<QString>& text) {
                                    ++calls;
                                    transcript = text;
                                });
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, generousWait);
    QCOMPARE(transcript, QStringLiteral("Send the report."));
    QCOMPARE(m_server->requests().size(), 1);
    const QMap<QByteArray, FormField> fields = formFields(m_server->requests().first());
    QCOMPARE(fields["model"].body, QByteArray("large-v3"));
    QCOMPARE(fields["language"].body, QByteArray("en"));
}

QTEST_MAIN(TranscriptionServerTest)
#include "tst_transcriptionserver.moc"
