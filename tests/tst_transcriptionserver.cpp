#include "core/SpeechEngineSelection.h"
#include "fakes/FakeHttpServer.h"
#include "fakes/RealRecognition.h"
#include "fakes/TestAppState.h"
#include "speech/SpeechRecognitionChoice.h"
#include "speech/SpeechTranscriber.h"
#include "speech/WhisperLanguages.h"
#include "speech/server/TranscriptionServerRecognition.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

using namespace std::chrono_literals;

namespace {

// The value of a field of a multipart/form-data request.
QByteArray formField(const FakeHttpServer::Request& request, const QByteArray& name) {
    QByteArray boundary = request.header("Content-Type");
    boundary = "\r\n--" + boundary.mid(boundary.indexOf("boundary=") + 9).replace('"', "");
    const qsizetype start =
        request.body.indexOf("\r\n\r\n", request.body.indexOf(" name=\"" + name + '"')) + 4;
    return request.body.mid(start, request.body.indexOf(boundary, start) - start);
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

QByteArray transcriptionReply(const QJsonValue& text) {
    return QJsonDocument(QJsonObject{{"text", text}}).toJson(QJsonDocument::Compact);
}

} // namespace

// The transcription server engine against a fake server, with a real recording made by espeak-ng and
// encoded as the recorder does. The failures of the exchange itself are tested with the network module.
class TranscriptionServerTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_speech;
    double m_speechDuration = 0;
    std::unique_ptr<FakeHttpServer> m_server;
    std::unique_ptr<TranscriptionServerRecognition> m_recognition;

    std::unique_ptr<SpeechRecognizer> recognizer(const QString& server, const QString& locale = "en-US") {
        m_recognition = std::make_unique<TranscriptionServerRecognition>(server, "whisper-1");
        return m_recognition->createRecognizer(locale);
    }

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
        m_server->response = FakeHttpServer::reply("200 OK", transcriptionReply(" Send the report.\n"));
    }

    void cleanup() { m_recognition.reset(); }

    void postsUnderTheBaseAddress() {
        for (const auto& [base, path] : {std::pair{"/", "/v1/audio/transcriptions"},
                                         std::pair{"/whisper//", "/whisper/v1/audio/transcriptions"}}) {
            QCOMPARE(recognizeOnce(*recognizer(m_server->address() + base), m_speech).result.text,
                     QStringLiteral("Send the report."));
            QCOMPARE(m_server->requests.last().requestLine, "POST " + QByteArray(path) + " HTTP/1.1");
        }
    }

    void knowsWhisperLanguages() {
        for (const QString row :
             {"de-DE de", "EN-us en", "nb_NO no", "zh-Hans-CN zh", "sr_RS@latin sr", "haw-US haw"}) {
            QCOMPARE(whisperLanguage(row.section(u' ', 0, 0)), row.section(u' ', 1));
        }
        // Unknown languages get no recogniser, so the transcriber falls back to en-US.
        for (const char* unknown : {"xx-INVENTED", "", "C", "tlh", "-DE", "e"}) {
            QVERIFY2(!recognizer(m_server->address(), unknown), unknown);
        }
    }

    // The failures here come with an error status, whose body is read all the same.
    void readsTheTextOfTheReplyOrSaysWhyThereIsNone() {
        const std::pair<QByteArray, std::optional<QString>> replies[] = {
            {transcriptionReply(""), ""},
            {R"({"task":"transcribe","text":"Ja.","segments":[]})", "Ja."},
            {"<html>Bad Gateway</html>", std::nullopt},
            {R"({"text":42})", std::nullopt},
            {R"({"error":"no model"})", std::nullopt}};
        for (const auto& [body, text] : replies) {
            m_server->response = FakeHttpServer::reply(text ? "200 OK" : "500 Internal Server Error", body);
            const RecognitionReport report = recognizeOnce(*recognizer(m_server->address()), m_speech);
            QCOMPARE(report.calls, 1);
            QVERIFY(report.onMainThread);
            QCOMPARE(report.result.text, text);
            QCOMPARE(report.result.error.isEmpty(), text.has_value());
        }
    }

    // Which addresses are web addresses is tested with the network module.
    void onlyAWebAddressChoosesTheServer() {
        using Engine = SpeechEnginePlan::Engine;
        const auto engine = [](const char* server) {
            return planSpeechRecognition({server, "large", "pocketsphinx", {}, 5}).engine;
        };
        QCOMPARE(engine(" https://[::1]:1/ "), Engine::server);
        QCOMPARE(engine("file:///tmp"), Engine::pocketsphinx);
        QCOMPARE(engine(""), Engine::pocketsphinx);
    }

    void dictationSendsTheRecordingAsAWaveForm_data() {
        QTest::addColumn<QString>("chosenModel");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("model");
        QTest::addColumn<QByteArray>("language");
        QTest::addColumn<QString>("vocabulary");
        QTest::addColumn<QByteArray>("prompt");
        QTest::newRow("default model") << QString() << "de-DE" << QByteArray("whisper-1") << QByteArray("de")
                                       << QString() << QByteArray();
        QTest::newRow("language Whisper lacks, a vocabulary")
            << " large-v3"
            << "xx-INVENTED" << QByteArray("large-v3") << QByteArray("en") << " Okonkwo \n\nKubernetes\n"
            << QByteArray("Okonkwo, Kubernetes");
    }

    // The engine as the program chooses it, inside the transcriber.
    void dictationSendsTheRecordingAsAWaveForm() {
        QFETCH(QString, chosenModel);
        QFETCH(QString, locale);
        QFETCH(QString, vocabulary);
        TestAppState app({}, locale);
        app.state.setSpeechEngine(QStringLiteral("pocketsphinx"));
        app.state.setVocabulary(vocabulary);
        SpeechEngineSelection speech(app.state, m_server->address(), chosenModel);
        SpeechTranscriber transcriber(app.state, speech.recognition());
        std::optional<QString> transcript;
        transcriber.transcribeAudio(QUrl::fromLocalFile(m_speech).toString(),
                                    [&](const TextResult& result) { transcript = result.text; });
        QTRY_COMPARE_WITH_TIMEOUT(transcript, QStringLiteral("Send the report."), 60000);

        QCOMPARE(m_server->requests.size(), 1);
        const FakeHttpServer::Request& request = m_server->requests.first();
        QTEST(formField(request, "model"), "model");
        QTEST(formField(request, "language"), "language");
        QFETCH(QByteArray, prompt);
        QCOMPARE(request.body.contains("name=\"prompt\""), !prompt.isEmpty());
        if (!prompt.isEmpty()) {
            QCOMPARE(formField(request, "prompt"), prompt);
        }
        QCOMPARE(formField(request, "response_format"), "json");
        QVERIFY(request.body.contains("filename=\"recording.wav\"") && request.body.contains("audio/wav"));
        // 16 kHz mono 16-bit PCM behind the canonical 44-byte header.
        const QByteArray wave = formField(request, "file");
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

QTEST_GUILESS_MAIN(TranscriptionServerTest)
#include "tst_transcriptionserver.moc"
