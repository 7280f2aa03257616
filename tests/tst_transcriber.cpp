#include "fakes/FakeSpeechRecognition.h"
#include "fakes/TestAppState.h"
#include "log/Log.h"
#include "speech/SpeechTranscriber.h"

#include <QTest>

Q_DECLARE_METATYPE(RecognitionResult)

class TranscriberTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> m_app;
    std::unique_ptr<FakeSpeechRecognition> m_speech;
    std::unique_ptr<SpeechTranscriber> m_transcriber;
    QStringList m_outcomes; // each answer, "nothing" for none, then each log line
    const QString m_file = QStringLiteral("/tmp/recording.m4a");

    void transcribe(const QString& locale) {
        m_app->state.setTranscriptionLocale(locale);
        m_transcriber->transcribeAudio(m_file, [this](const std::optional<QString>& text) {
            m_outcomes << text.value_or(QStringLiteral("nothing"));
        });
    }

private slots:
    void init() {
        m_app = std::make_unique<TestAppState>();
        m_speech = std::make_unique<FakeSpeechRecognition>();
        m_transcriber = std::make_unique<SpeechTranscriber>(m_app->state, *m_speech);
        m_outcomes.clear();
        setLogSink([this](const QString& line) { m_outcomes << QStringLiteral("log ") + line; });
    }

    void cleanup() {
        setLogSink({});
        m_transcriber.reset();
        QCOMPARE(m_speech->liveRecognizers, 0);
    }

    void answersTheTextOrLogsWhyThereIsNone_data() {
        QTest::addColumn<RecognitionResult>("result");
        QTest::addColumn<QStringList>("outcomes");
        QTest::newRow("text") << RecognitionResult::transcript("Hello world.") << QStringList{"Hello world."};
        QTest::newRow("silence") << RecognitionResult::transcript("") << QStringList{""};
        QTest::newRow("error") << RecognitionResult::failure("the file holds no audio")
                               << QStringList{"log Speech recognition failed: the file holds no audio",
                                              "nothing"};
    }

    void answersTheTextOrLogsWhyThereIsNone() {
        QFETCH(RecognitionResult, result);
        transcribe("en-US");
        QCOMPARE(m_speech->lastRecognizer->recognizedUrl, m_file);
        m_speech->lastRecognizer->handler(result);
        QTEST(m_outcomes, "outcomes");
        QTRY_COMPARE(m_speech->liveRecognizers, 0);
    }

    void fallsBackToUsEnglishOnlyForAnUnsupportedLocale() {
        transcribe("xx-INVENTED");
        QCOMPARE(m_speech->requestedLocales, QStringList({"xx-INVENTED", "en-US"}));
        m_speech->lastRecognizer->handler(RecognitionResult::transcript("hi"));
        QCOMPARE(m_outcomes, QStringList{"hi"});

        // A supported locale whose recogniser is unavailable: nothing, no en-US attempt, nothing kept.
        m_speech->requestedLocales.clear();
        m_speech->supportedLocales << "de-DE";
        m_speech->unavailableLocales << "de-DE";
        transcribe("de-DE");
        QCOMPARE(m_speech->requestedLocales, QStringList{"de-DE"});
        m_speech->supportedLocales.clear();
        transcribe("de-DE");
        QCOMPARE(m_outcomes,
                 (QStringList{"hi", "log The speech recogniser for de-DE is not available.", "nothing",
                              "log No speech recogniser for de-DE or en-US.", "nothing"}));
    }

    // The recogniser is made when a recording starts, used if the locale is still the same, and released
    // when the dictation ends.
    void preparesTheRecognizerWhileRecording() {
        m_app->state.setTranscriptionLocale("fr-FR");
        m_app->state.setRecordingState(RecordingState::recording);
        QCOMPARE(m_speech->requestedLocales, QStringList({"fr-FR", "en-US"}));
        QCOMPARE(m_speech->liveRecognizers, 1);
        m_app->state.setRecordingState(RecordingState::idle);
        QCOMPARE(m_speech->liveRecognizers, 0);

        m_app->state.setRecordingState(RecordingState::recording);
        FakeSpeechRecognizer* prepared = m_speech->lastRecognizer;
        m_app->state.setRecordingState(RecordingState::processing);
        transcribe("fr-FR");
        QCOMPARE(m_speech->requestedLocales.size(), 4);
        prepared->handler(RecognitionResult::transcript("bonjour"));
        QTRY_COMPARE(m_speech->liveRecognizers, 0);

        m_speech->supportedLocales << "de-DE";
        m_app->state.setTranscriptionLocale("de-DE");
        m_app->state.setRecordingState(RecordingState::recording);
        m_app->state.setRecordingState(RecordingState::processing);
        transcribe("en-US");
        QCOMPARE(m_speech->lastRecognizer->locale, QStringLiteral("en-US"));
        QCOMPARE(m_speech->liveRecognizers, 1);
        m_speech->lastRecognizer->handler(RecognitionResult::transcript("hello"));
        QCOMPARE(m_outcomes, (QStringList{"bonjour", "hello"}));
    }
};

QTEST_GUILESS_MAIN(TranscriberTest)
#include "tst_transcriber.moc"
