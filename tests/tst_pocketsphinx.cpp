#include "core/AppState.h"
#include "fakes/RecognitionReport.h"
#include "fakes/SpokenRecording.h"
#include "speech/pocketsphinx/PocketsphinxRecognition.h"
#include "platform/null/NullPlatform.h"
#include "speech/SpeechTranscriber.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

// The real backend on real files. Synthetic speech is recognised poorly, so only the presence of words is
// checked here; how many are right is for the benchmark.
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
        QVERIFY(speech.createRecognizer("en-US"));
        QVERIFY(speech.createRecognizer("en_US"));
        for (const char* other : {"en-GB", "de-DE", "en", "en-us", ""}) {
            QVERIFY2(!speech.createRecognizer(other), other);
        }
        std::optional<SpeechRecognition::AuthorizationStatus> answer;
        speech.requestAuthorization([&answer](auto status) { answer = status; });
        QCOMPARE(answer, SpeechRecognition::AuthorizationStatus::authorized);
    }

    // Through the transcriber, with a locale pocketsphinx lacks, as a user with another language would.
    void speechBecomesText() {
        PocketsphinxRecognition speech;
        QSettings settings(m_dir.filePath("settings.ini"), QSettings::IniFormat);
        AppState state(settings, "xx-INVENTED",
                       [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
        SpeechTranscriber transcriber(state, speech);
        int calls = 0;
        std::optional<QString> transcript;
        transcriber.transcribeAudio(QUrl::fromLocalFile(m_speech).toString(), [&](const auto& text) {
            ++calls;
            transcript = text;
        });
        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 90000);
        QVERIFY2(transcript && !transcript->trimmed().isEmpty(), "no words recognised");
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
            QVERIFY(report.update.error.has_value());
            QVERIFY(!report.update.text.has_value());
        }
        QVERIFY(QFile::remove(path));
        QVERIFY(recognizeOnce(*speech.createRecognizer("en-US"), path).update.error.has_value());
    }

    void modelThatDoesNotLoadIsUnavailable() {
        const QString nowhere = m_dir.filePath("no-model");
        PocketsphinxRecognition speech({nowhere, nowhere, nowhere});
        const std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer("en-US");
        QVERIFY(recognizer && !recognizer->isAvailable());
        QVERIFY(recognizeOnce(*recognizer, m_speech).update.error.has_value());
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
