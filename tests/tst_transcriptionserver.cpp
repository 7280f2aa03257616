#include "core/AppState.h"
#include "net/WebRequest.h"
#include "fakes/FakeHttpServer.h"
#include "fakes/RecognitionReport.h"
#include "fakes/SpokenRecording.h"
#include "platform/PlatformServices.h"
#include "speech/pocketsphinx/PocketsphinxRecognition.h"
#include "speech/SpeechRecognitionChoice.h"
#include "speech/server/TranscriptionServerRecognition.h"
#include "speech/WhisperLanguages.h"
#include "platform/null/NullPlatform.h"
#include "speech/SpeechTranscriber.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTemporaryDir>
#include <QtEndian>

using namespace std::chrono_literals;

namespace {

struct FormField {
    QByteArray head; // the part's header lines, in lower case
    QByteArray body;
};

// The fields of a multipart/form-data body by name; empty when the body is not such a form.
QMap<QByteArray, FormField> formFields(const FakeHttpServer::Request& request) {
    const QByteArray contentType = request.header("Content-Type").value(0);
    const qsizetype boundary = contentType.indexOf("boundary=");
    QMap<QByteArray, FormField> fields;
    if (!contentType.startsWith("multipart/form-data;") || boundary < 0) {
        return fields;
    }
    const QByteArray delimiter = "\r\n--" + contentType.mid(boundary + 9).replace('"', "");
    const QByteArray body = "\r\n" + request.body;
    for (qsizetype start = body.indexOf(delimiter), next; start >= 0; start = next) {
        next = body.indexOf(delimiter, start + delimiter.size());
        const QByteArray part =
            next < 0 ? QByteArray() : body.mid(start, next - start).mid(delimiter.size() + 2);
        const qsizetype headEnd = part.indexOf("\r\n\r\n");
        const qsizetype name = part.indexOf(" name=\"") + 7;
        if (headEnd > 0 && name > 6) {
            fields.insert(part.mid(name, part.indexOf('"', name) - name),
                          {part.left(headEnd).toLower(), part.mid(headEnd + 4)});
        }
    }
    return fields;
}

QByteArray littleEndian(quint32 value, int bytes) {
    QByteArray encoded(4, '\0');
    qToLittleEndian(value, encoded.data());
    return encoded.left(bytes);
}

// How long a WAV file of 16-bit mono samples with the canonical 44-byte header plays, in seconds.
double monoWaveDuration(const QByteArray& wave) {
    return double(wave.size() - 44) / (2.0 * qFromLittleEndian<quint32>(wave.constData() + 24));
}

bool writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

QByteArray transcriptionReply(const QJsonValue& text) {
    return QJsonDocument(QJsonObject{{"text", text}}).toJson(QJsonDocument::Compact);
}

const std::pair<const char*, const char*> knownLanguages[] = {
    {"de-DE", "de"}, {"en_US", "en"},      {"pt", "pt"},          {"EN-us", "en"},
    {"nb_NO", "no"}, {"zh-Hans-CN", "zh"}, {"sr_RS@latin", "sr"}, {"haw-US", "haw"}};

} // namespace

// The transcription server backend against a fake server on 127.0.0.1, with a real recording made by
// espeak-ng and encoded as the recorder does.
class TranscriptionServerTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_speech;
    double m_speechDuration = 0;
    std::unique_ptr<FakeHttpServer> m_server;

    std::unique_ptr<SpeechRecognizer> recognizer(const QString& server, const QString& locale = "en-US",
                                                 std::chrono::milliseconds timeout = 120s) {
        m_recognition = std::make_unique<TranscriptionServerRecognition>(server, "whisper-1", timeout);
        return m_recognition->createRecognizer(locale);
    }
    std::unique_ptr<TranscriptionServerRecognition> m_recognition;

private slots:
    void initTestCase() {
        const QString wave = m_dir.filePath("speech.wav");
        m_speech = m_dir.filePath("speech.m4a");
        QVERIFY(makeSpokenRecording("Please send the report to the team before Friday.", wave, m_speech));
        QFile spoken(wave);
        QVERIFY(spoken.open(QIODevice::ReadOnly));
        m_speechDuration = monoWaveDuration(spoken.readAll());
        QVERIFY(m_speechDuration > 1.0);
    }

    void init() {
        m_server = std::make_unique<FakeHttpServer>();
        QVERIFY(m_server->port() != 0);
        m_server->setResponse(FakeHttpServer::reply("200 OK", transcriptionReply(" Send the report.\n")));
    }

    void cleanup() {
        m_recognition.reset();
        m_server.reset();
        qunsetenv("MURMURO_SPEECH_SERVER");
        qunsetenv("MURMURO_SPEECH_MODEL");
    }

    void postsUnderTheBaseAddress() {
        for (const auto& [base, path] : {std::pair{"/", "/v1/audio/transcriptions"},
                                         std::pair{"/whisper/", "/whisper/v1/audio/transcriptions"}}) {
            QVERIFY(recognizeOnce(*recognizer(m_server->address() + base), m_speech).update.text);
            QCOMPARE(m_server->requests().last().requestLine, "POST " + QByteArray(path) + " HTTP/1.1");
        }
    }

    void knowsWhisperLanguages() {
        for (const auto& [locale, language] : knownLanguages) {
            QCOMPARE(whisperLanguage(locale), QString(language));
        }
        // Unknown languages get no recogniser, so the transcriber falls back to en-US.
        for (const char* unknown : {"xx-INVENTED", "", "C", "tlh", "-DE", "e"}) {
            QVERIFY2(!whisperLanguage(unknown), unknown);
            QVERIFY2(!recognizer(m_server->address(), unknown), unknown);
        }
    }

    void repliesAndFailures_data() {
        QTest::addColumn<FakeHttpServer::Response>("response");
        QTest::addColumn<std::optional<QString>>("text");
        const auto reply = [](const QByteArray& status, const QByteArray& body) {
            return FakeHttpServer::reply(status, body);
        };
        QTest::newRow("silence") << reply("200 OK", transcriptionReply("")) << std::optional<QString>("");
        QTest::newRow("more fields") << reply("200 OK",
                                              "{\"task\":\"transcribe\",\"text\":\"Ja.\",\"segments\":[]}")
                                     << std::optional<QString>("Ja.");
        const auto fails = [](const char* name, const FakeHttpServer::Response& response) {
            QTest::newRow(name) << response << std::optional<QString>();
        };
        fails("refused", {}); // an empty response that closes stands for a server that is gone
        // With the short limit these get, only an abandoned wait ends the next two.
        fails("no answer", {{}, true});
        fails("half a body", {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n{\"text\":", true});
        fails("html page", reply("200 OK", "<html>Bad Gateway</html>"));
        fails("error reply", reply("500 Internal Server Error", "{\"error\":\"model not loaded\"}"));
        fails("text a number", reply("200 OK", "{\"text\":42}"));
        fails("top level array", reply("200 OK", "[{\"text\":\"x\"}]"));
        fails("oversized", FakeHttpServer::oversized(maxWebReplySize));
    }

    void repliesAndFailures() {
        QFETCH(FakeHttpServer::Response, response);
        QFETCH(std::optional<QString>, text);
        const QString address = m_server->address();
        m_server->setResponse(response);
        if (response.bytes.isEmpty() && !response.keepOpen) {
            m_server.reset();
        }
        const bool stalls = response.keepOpen && response.bytes.size() < maxWebReplySize;
        const auto recognizer = this->recognizer(address, "en-US", stalls ? 300ms : 120s);
        QVERIFY(recognizer->isAvailable());
        const RecognitionReport report = recognizeOnce(*recognizer, m_speech);
        QCOMPARE(report.calls, 1);
        QVERIFY(report.onMainThread);
        QCOMPARE(report.update.text, text);
        QCOMPARE(report.update.isFinal, text.has_value());
        QCOMPARE(report.update.error.has_value(), !text);
    }

    void unreadableAudioIsNotSent() {
        for (const QByteArray& contents :
             {QByteArray(), QByteArray("This is not audio at all.\n").repeated(200)}) {
            const QString path = m_dir.filePath("unreadable.m4a");
            QVERIFY(writeFile(path, contents));
            const RecognitionReport report = recognizeOnce(*recognizer(m_server->address()), path);
            QCOMPARE(report.calls, 1);
            QVERIFY(report.onMainThread);
            QVERIFY(report.update.error.has_value());
            QCOMPARE(m_server->connections(), 0);
        }
    }

    void destroyedRecognizerReportsNothing() {
        m_server->setResponse({QByteArray(), true});
        std::unique_ptr<SpeechRecognizer> recognizer = this->recognizer(m_server->address());
        const auto report = startRecognition(*recognizer, m_speech);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 1, 60000);
        recognizer.reset();
        QTest::qWait(200);
        QCOMPARE(report->calls, 0);
    }

    void readsNoFileThroughTheAddress() {
        QTemporaryDir served;
        QVERIFY(QDir(served.path()).mkpath("v1/audio"));
        QVERIFY(
            writeFile(served.filePath("v1/audio/transcriptions"), transcriptionReply("read from a file")));
        const auto recognizer = this->recognizer(QUrl::fromLocalFile(served.path()).toString());
        QVERIFY(!recognizer->isAvailable());
        const RecognitionReport report = recognizeOnce(*recognizer, m_speech);
        QCOMPARE(report.calls, 1);
        QVERIFY(report.update.error.has_value());
        QCOMPARE(report.update.text, std::nullopt);
    }

    void environmentChoosesTheBackend_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("usesServer");
        // PORT is the fake server's port.
        QTest::newRow("unset") << QString() << false;
        QTest::newRow("http") << QStringLiteral("http://127.0.0.1:PORT") << true;
        QTest::newRow("https") << QStringLiteral("https://127.0.0.1:PORT/") << true;
        for (const char* other : {"ftp://127.0.0.1:PORT", "file:///tmp", "127.0.0.1:PORT", "http://"}) {
            QTest::newRow(other) << QString(other) << false;
        }
    }

    void environmentChoosesTheBackend() {
        QFETCH(QString, server);
        QFETCH(bool, usesServer);
        if (!server.isNull()) {
            qputenv("MURMURO_SPEECH_SERVER",
                    server.replace("PORT", QString::number(m_server->port())).toUtf8());
        }
        const PlatformServices services = createPlatformServices();
        SpeechRecognition* chosen = services.speechRecognition.get();
        QCOMPARE(dynamic_cast<TranscriptionServerRecognition*>(chosen) != nullptr, usesServer);
        QCOMPARE(dynamic_cast<PocketsphinxRecognition*>(chosen) != nullptr, !usesServer);
        QCOMPARE(m_server->connections(), 0);
    }

    void dictationSendsTheRecordingAsAWaveForm_data() {
        QTest::addColumn<QByteArray>("modelVariable");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<QByteArray>("language");
        QTest::newRow("default model")
            << QByteArray() << "de-DE" << QByteArray("whisper-1") << QByteArray("de");
        QTest::newRow("language Whisper lacks")
            << QByteArray("large-v3") << "xx-INVENTED" << QByteArray("large-v3") << QByteArray("en");
    }

    // The backend as the program sets it up from the environment, inside the transcriber.
    void dictationSendsTheRecordingAsAWaveForm() {
        QFETCH(QByteArray, modelVariable);
        QFETCH(QString, locale);
        QFETCH(QByteArray, model);
        QFETCH(QByteArray, language);
        qputenv("MURMURO_SPEECH_SERVER", m_server->address().toUtf8());
        qputenv("MURMURO_SPEECH_MODEL", modelVariable);
        const PlatformServices services = createPlatformServices();
        std::optional<SpeechRecognition::AuthorizationStatus> authorization;
        services.speechRecognition->requestAuthorization([&](auto status) { authorization = status; });
        QCOMPARE(authorization, SpeechRecognition::AuthorizationStatus::authorized);
        QSettings settings(m_dir.filePath("settings.ini"), QSettings::IniFormat);
        AppState state(settings, locale, [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
        SpeechTranscriber transcriber(state, *services.speechRecognition);
        std::optional<QString> transcript;
        transcriber.transcribeAudio(QUrl::fromLocalFile(m_speech).toString(),
                                    [&](const auto& text) { transcript = text; });
        QTRY_COMPARE_WITH_TIMEOUT(transcript, QStringLiteral("Send the report."), 60000);

        QCOMPARE(m_server->requests().size(), 1);
        QCOMPARE(m_server->requests().first().requestLine, "POST /v1/audio/transcriptions HTTP/1.1");
        const QMap<QByteArray, FormField> fields = formFields(m_server->requests().first());
        QCOMPARE(fields.keys(), (QList<QByteArray>{"file", "language", "model", "response_format"}));
        QCOMPARE(fields["model"].body, model);
        QCOMPARE(fields["language"].body, language);
        QCOMPARE(fields["response_format"].body, "json");
        QVERIFY(fields["file"].head.contains("filename=\"recording.wav\""));
        QVERIFY(fields["file"].head.contains("content-type: audio/wav"));

        // 16 kHz mono 16-bit PCM behind the canonical 44-byte header.
        const QByteArray wave = fields["file"].body;
        const quint32 size = wave.size();
        QVERIFY(size > 44);
        QCOMPARE(wave.left(44), "RIFF" + littleEndian(size - 8, 4) + "WAVEfmt " + littleEndian(16, 4) +
                                    littleEndian(1, 2) + littleEndian(1, 2) + littleEndian(16000, 4) +
                                    littleEndian(32000, 4) + littleEndian(2, 2) + littleEndian(16, 2) +
                                    "data" + littleEndian(size - 44, 4));
        // The AAC encoder adds a few milliseconds of padding at either end.
        QVERIFY2(qAbs(monoWaveDuration(wave) - m_speechDuration) < 0.15,
                 qPrintable(
                     QString("%1 s sent for %2 s spoken").arg(monoWaveDuration(wave)).arg(m_speechDuration)));
    }
};

QTEST_MAIN(TranscriptionServerTest)
#include "tst_transcriptionserver.moc"
