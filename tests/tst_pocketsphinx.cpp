#include "fakes/RealRecognition.h"
#include "speech/pocketsphinx/PocketsphinxRecognition.h"

#include <QFile>

// The real engine on real files; that speech becomes text is shown by the end-to-end test, how well by the
// benchmark.
class PocketsphinxTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_speech;

private slots:
    void initTestCase() {
        m_speech = m_dir.filePath("speech.m4a");
        QVERIFY(makeSpokenRecording("Please send the report to the team before the meeting on Friday.",
                                    m_dir.filePath("speech.wav"), m_speech));
    }

    void supportsUsEnglishOnlyAndNeedsNoPermission() {
        PocketsphinxRecognition speech;
        QVERIFY(speech.createRecognizer("en-US") && speech.createRecognizer("en_US"));
        for (const char* other : {"en-GB", "de-DE", "en", "en-us", ""}) {
            QVERIFY2(!speech.createRecognizer(other), other);
        }
        std::optional<SpeechRecognition::AuthorizationStatus> answer;
        speech.requestAuthorization([&answer](auto status) { answer = status; });
        QCOMPARE(answer, SpeechRecognition::AuthorizationStatus::authorized);
    }

    void fileThatIsNotAudioGivesAnError() {
        // With a time limit this long, an answer within the wait can only come from the failure to read.
        PocketsphinxRecognition speech(PocketsphinxModelPaths::usEnglish(), std::chrono::minutes(10));
        const QString path = m_dir.filePath("unreadable.m4a");
        for (const QByteArray& contents :
             {QByteArray("This is not audio at all.\n").repeated(200), QByteArray()}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    file.write(contents) == contents.size());
            file.close();
            const RecognitionReport report = recognizeOnce(*speech.createRecognizer("en-US"), path);
            QCOMPARE(report.calls, 1);
            QVERIFY(report.onMainThread);
            QVERIFY(!report.result.text && !report.result.error.isEmpty());
        }
        QVERIFY(QFile::remove(path));
        QVERIFY(!recognizeOnce(*speech.createRecognizer("en-US"), path).result.error.isEmpty());
    }

    void destroyedRecognizerReportsNothing() {
        PocketsphinxRecognition speech;
        std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer("en-US");
        const auto report = startRecognition(*recognizer, m_speech);
        recognizer.reset();
        QTest::qWait(200);
        QCOMPARE(report->calls, 0);
    }
};

QTEST_GUILESS_MAIN(PocketsphinxTest)
#include "tst_pocketsphinx.moc"
