#include "core/AppState.h"
#include "fakes/FakeSpeechRecognition.h"
#include "platform/null/NullPlatform.h"
#include "speech/SpeechTranscriber.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Outcome {
    int calls = 0;
    std::optional<QString> transcript;
};

RecognitionUpdate partial(const QString& text) {
    return {text, false, std::nullopt};
}

RecognitionUpdate final(const QString& text) {
    return {text, true, std::nullopt};
}

RecognitionUpdate error(std::optional<QString> text = std::nullopt) {
    return {std::move(text), false, QStringLiteral("no speech detected")};
}

} // namespace

class TranscriberTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void onlyTheFinalResultCompletes();
    void errorsGiveNoTranscript_data();
    void errorsGiveNoTranscript();
    void laterCallsChangeNothing();
    void emptyFinalIsAnEmptyTranscript();
    void unsupportedLocaleFallsBackToUsEnglish();
    void unavailableRecognizerHasNoFallback();
    void withoutAnyRecognizerThereIsNoTranscript();
    void recognizerIsPreparedWhileRecording();
    void preparedRecognizerIsNotUsedForAnotherLocale();
    void preparedRecognizerIsReleasedWhenIdle();

private:
    Outcome transcribe(const QString& locale);

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<FakeSpeechRecognition> m_speech;
    std::unique_ptr<SpeechTranscriber> m_transcriber;
    std::shared_ptr<Outcome> m_outcome;
};

void TranscriberTest::init() {
    m_settings =
        std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    m_state = std::make_unique<AppState>(*m_settings, QStringLiteral("en_GB"),
                                         [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
    m_speech = std::make_unique<FakeSpeechRecognition>();
    m_transcriber = std::make_unique<SpeechTranscriber>(*m_state, *m_speech);
}

void TranscriberTest::cleanup() {
    m_transcriber.reset();
    QCOMPARE(m_speech->liveRecognizers, 0);
    m_speech.reset();
    m_state.reset();
    m_settings->clear();
}

// Starts a transcription of a fixed file in the locale; the outcome fills in as the handler completes it.
Outcome TranscriberTest::transcribe(const QString& locale) {
    m_state->setTranscriptionLocale(locale);
    m_outcome = std::make_shared<Outcome>();
    m_transcriber->transcribeAudio(QStringLiteral("/tmp/recording.m4a"),
                                   [outcome = m_outcome](const std::optional<QString>& transcript) {
                                       ++outcome->calls;
                                       outcome->transcript = transcript;
                                   });
    return *m_outcome;
}

void TranscriberTest::onlyTheFinalResultCompletes() {
    transcribe(QStringLiteral("en-US"));
    FakeSpeechRecognizer* recognizer = m_speech->lastRecognizer;
    QVERIFY(recognizer);
    QCOMPARE(recognizer->recognizedUrl, QStringLiteral("/tmp/recording.m4a"));

    recognizer->handler(partial(QStringLiteral("hello")));
    recognizer->handler(partial(QStringLiteral("hello wor")));
    QCOMPARE(m_outcome->calls, 0);

    recognizer->handler(final(QStringLiteral("Hello world.")));
    QCOMPARE(m_outcome->calls, 1);
    QCOMPARE(m_outcome->transcript, std::optional<QString>(QStringLiteral("Hello world.")));
    QTRY_COMPARE(m_speech->liveRecognizers, 0);
}

void TranscriberTest::errorsGiveNoTranscript_data() {
    QTest::addColumn<bool>("afterPartial");
    QTest::addColumn<bool>("carriesPartial");
    QTest::newRow("error alone") << false << false;
    QTest::newRow("error after a partial") << true << false;
    QTest::newRow("error with a partial") << false << true;
}

void TranscriberTest::errorsGiveNoTranscript() {
    QFETCH(bool, afterPartial);
    QFETCH(bool, carriesPartial);
    transcribe(QStringLiteral("en-US"));
    FakeSpeechRecognizer* recognizer = m_speech->lastRecognizer;
    if (afterPartial) {
        recognizer->handler(partial(QStringLiteral("hello")));
    }
    recognizer->handler(carriesPartial ? error(QStringLiteral("hello")) : error());
    QCOMPARE(m_outcome->calls, 1);
    QCOMPARE(m_outcome->transcript, std::nullopt);
    QTRY_COMPARE(m_speech->liveRecognizers, 0);
}

void TranscriberTest::laterCallsChangeNothing() {
    transcribe(QStringLiteral("en-US"));
    FakeSpeechRecognizer* recognizer = m_speech->lastRecognizer;
    recognizer->handler(final(QStringLiteral("done")));
    recognizer->handler(error());
    recognizer->handler(final(QStringLiteral("again")));
    QCOMPARE(m_outcome->calls, 1);
    QCOMPARE(m_outcome->transcript, std::optional<QString>(QStringLiteral("done")));

    // A final result that also carries an error is still a result.
    transcribe(QStringLiteral("en-US"));
    m_speech->lastRecognizer->handler({QStringLiteral("both"), true, QStringLiteral("late error")});
    QCOMPARE(m_outcome->transcript, std::optional<QString>(QStringLiteral("both")));
}

void TranscriberTest::emptyFinalIsAnEmptyTranscript() {
    transcribe(QStringLiteral("en-US"));
    m_speech->lastRecognizer->handler(final(QString()));
    QCOMPARE(m_outcome->calls, 1);
    QVERIFY(m_outcome->transcript.has_value());
    QCOMPARE(*m_outcome->transcript, QString());
}

void TranscriberTest::unsupportedLocaleFallsBackToUsEnglish() {
    transcribe(QStringLiteral("xx-INVENTED"));
    QCOMPARE(m_speech->requestedLocales,
             QStringList({QStringLiteral("xx-INVENTED"), QStringLiteral("en-US")}));
    QCOMPARE(m_speech->lastRecognizer->locale, QStringLiteral("en-US"));
    m_speech->lastRecognizer->handler(final(QStringLiteral("hi")));
    QCOMPARE(m_outcome->transcript, std::optional<QString>(QStringLiteral("hi")));
}

void TranscriberTest::unavailableRecognizerHasNoFallback() {
    m_speech->supportedLocales << QStringLiteral("de-DE");
    m_speech->unavailableLocales << QStringLiteral("de-DE");
    const Outcome outcome = transcribe(QStringLiteral("de-DE"));
    QCOMPARE(outcome.calls, 1);
    QCOMPARE(outcome.transcript, std::nullopt);
    QCOMPARE(m_speech->requestedLocales, QStringList(QStringLiteral("de-DE")));
    QCOMPARE(m_speech->liveRecognizers, 0);
}

void TranscriberTest::withoutAnyRecognizerThereIsNoTranscript() {
    m_speech->supportedLocales.clear();
    const Outcome outcome = transcribe(QStringLiteral("de-DE"));
    QCOMPARE(outcome.calls, 1);
    QCOMPARE(outcome.transcript, std::nullopt);
}

void TranscriberTest::recognizerIsPreparedWhileRecording() {
    m_state->setTranscriptionLocale(QStringLiteral("fr-FR"));
    m_state->setRecordingState(RecordingState::recording);
    QCOMPARE(m_speech->requestedLocales, QStringList({QStringLiteral("fr-FR"), QStringLiteral("en-US")}));
    QCOMPARE(m_speech->liveRecognizers, 1);
    FakeSpeechRecognizer* prepared = m_speech->lastRecognizer;

    m_state->setRecordingState(RecordingState::processing);
    transcribe(QStringLiteral("fr-FR"));
    QCOMPARE(m_speech->requestedLocales.size(), 2);
    QCOMPARE(prepared->recognizedUrl, QStringLiteral("/tmp/recording.m4a"));
    prepared->handler(final(QStringLiteral("bonjour")));
    QCOMPARE(m_outcome->transcript, std::optional<QString>(QStringLiteral("bonjour")));
    QTRY_COMPARE(m_speech->liveRecognizers, 0);
}

void TranscriberTest::preparedRecognizerIsNotUsedForAnotherLocale() {
    m_speech->supportedLocales << QStringLiteral("de-DE");
    m_state->setTranscriptionLocale(QStringLiteral("de-DE"));
    m_state->setRecordingState(RecordingState::recording);
    m_state->setRecordingState(RecordingState::processing);

    transcribe(QStringLiteral("en-US"));
    QCOMPARE(m_speech->lastRecognizer->locale, QStringLiteral("en-US"));
    QCOMPARE(m_speech->liveRecognizers, 1);
    m_speech->lastRecognizer->handler(final(QStringLiteral("hello")));
    QCOMPARE(m_outcome->transcript, std::optional<QString>(QStringLiteral("hello")));
}

void TranscriberTest::preparedRecognizerIsReleasedWhenIdle() {
    m_state->setRecordingState(RecordingState::recording);
    QCOMPARE(m_speech->liveRecognizers, 1);
    m_state->setRecordingState(RecordingState::idle);
    QCOMPARE(m_speech->liveRecognizers, 0);
}

QTEST_GUILESS_MAIN(TranscriberTest)
#include "tst_transcriber.moc"
