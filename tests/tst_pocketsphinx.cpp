#include "core/AppState.h"
#include "fakes/SpokenRecording.h"
#include "platform/linux/PocketsphinxRecognition.h"
#include "platform/null/NullPlatform.h"
#include "speech/SpeechTranscriber.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

// The real backend on real files. Synthetic speech is recognised poorly, so only the presence of words is
// checked here; how many are right is for the benchmark.
class PocketsphinxTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void supportsUsEnglishOnly();
    void needsNoPermission();
    void speechBecomesText();
    void fileThatIsNotAudioGivesAnError_data();
    void fileThatIsNotAudioGivesAnError();
    void modelThatDoesNotLoadIsUnavailable();
    void destroyedRecognizerReportsNothing();

private:
    struct Report {
        int calls = 0;
        RecognitionUpdate update;
        bool onMainThread = false;
    };
    std::shared_ptr<Report> recognize(SpeechRecognizer& recognizer, const QString& url);

    QTemporaryDir m_dir;
    QString m_speech;
};

void PocketsphinxTest::initTestCase() {
    m_speech = m_dir.filePath(QStringLiteral("speech.m4a"));
    QVERIFY(makeSpokenRecording(
        QStringLiteral("Please send the report to the team before the meeting on Friday."),
        m_dir.filePath(QStringLiteral("speech.wav")), m_speech));
}

std::shared_ptr<PocketsphinxTest::Report> PocketsphinxTest::recognize(SpeechRecognizer& recognizer,
                                                                      const QString& url) {
    auto report = std::make_shared<Report>();
    recognizer.recognizeFile(url, [report](const RecognitionUpdate& update) {
        ++report->calls;
        report->update = update;
        report->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    return report;
}

void PocketsphinxTest::supportsUsEnglishOnly() {
    PocketsphinxRecognition speech;
    QVERIFY(speech.createRecognizer(QStringLiteral("en-US")));
    QVERIFY(speech.createRecognizer(QStringLiteral("en_US")));
    for (const char* other : {"en-GB", "de-DE", "en", "en-us", ""}) {
        QVERIFY2(!speech.createRecognizer(QString::fromLatin1(other)), other);
    }
}

void PocketsphinxTest::needsNoPermission() {
    PocketsphinxRecognition speech;
    std::optional<SpeechRecognition::AuthorizationStatus> answer;
    speech.requestAuthorization(
        [&answer](SpeechRecognition::AuthorizationStatus status) { answer = status; });
    QCOMPARE(answer, SpeechRecognition::AuthorizationStatus::authorized);
}

void PocketsphinxTest::speechBecomesText() {
    // Through the transcriber, with a locale pocketsphinx lacks, as a user with another language would.
    PocketsphinxRecognition speech;
    QSettings settings(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    AppState state(settings, QStringLiteral("xx-INVENTED"),
                   [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
    SpeechTranscriber transcriber(state, speech);

    int calls = 0;
    std::optional<QString> transcript;
    transcriber.transcribeAudio(QUrl::fromLocalFile(m_speech).toString(),
                                [&](const std::optional<QString>& text) {
                                    ++calls;
                                    transcript = text;
                                });
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 90000);
    QVERIFY(transcript.has_value());
    QVERIFY2(!transcript->trimmed().isEmpty(), "no words recognised");
}

void PocketsphinxTest::fileThatIsNotAudioGivesAnError_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("text") << QStringLiteral("notes.m4a")
                          << QByteArray("This is not audio at all.\n").repeated(200);
    QTest::newRow("empty") << QStringLiteral("empty.m4a") << QByteArray();
    QTest::newRow("missing") << QStringLiteral("missing.m4a") << QByteArray();
}

void PocketsphinxTest::fileThatIsNotAudioGivesAnError() {
    QFETCH(QString, name);
    QFETCH(QByteArray, contents);
    const QString path = m_dir.filePath(name);
    if (name != QLatin1String("missing.m4a")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    // With a time limit this long, an answer within the wait below can only come from the failure to read.
    PocketsphinxRecognition speech(PocketsphinxModelPaths::usEnglish(), std::chrono::minutes(10));
    std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("en-US"));
    const auto report = recognize(*recognizer, path);
    QTRY_COMPARE_WITH_TIMEOUT(report->calls, 1, 60000);
    QVERIFY(report->update.error.has_value());
    QVERIFY(!report->update.text.has_value());
    QVERIFY(report->onMainThread);
}

void PocketsphinxTest::modelThatDoesNotLoadIsUnavailable() {
    const QString nowhere = m_dir.filePath(QStringLiteral("no-model"));
    PocketsphinxRecognition speech({nowhere, nowhere, nowhere});
    std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("en-US"));
    QVERIFY(recognizer);
    QVERIFY(!recognizer->isAvailable());

    const auto report = recognize(*recognizer, m_speech);
    QTRY_COMPARE_WITH_TIMEOUT(report->calls, 1, 60000);
    QVERIFY(report->update.error.has_value());
}

void PocketsphinxTest::destroyedRecognizerReportsNothing() {
    PocketsphinxRecognition speech;
    std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("en-US"));
    const auto report = recognize(*recognizer, m_speech);
    recognizer.reset();
    QTest::qWait(200);
    QCOMPARE(report->calls, 0);
}

QTEST_GUILESS_MAIN(PocketsphinxTest)
#include "tst_pocketsphinx.moc"
