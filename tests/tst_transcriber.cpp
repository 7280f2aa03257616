#include "core/AppState.h"
#include "fakes/FakeSpeechRecognition.h"
#include "platform/null/NullPlatform.h"
#include "speech/SpeechTranscriber.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TranscriberTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<FakeSpeechRecognition> m_speech;
    std::unique_ptr<SpeechTranscriber> m_transcriber;
    int m_calls = 0;
    std::optional<QString> m_transcript;

    // Starts a transcription of a fixed file in the locale; m_calls and m_transcript record the completion.
    void transcribe(const QString& locale) {
        m_state->setTranscriptionLocale(locale);
        m_transcriber->transcribeAudio("/tmp/recording.m4a",
                                       [this](const std::optional<QString>& transcript) {
                                           ++m_calls;
                                           m_transcript = transcript;
                                       });
    }

private slots:
    void init() {
        m_settings = std::make_unique<QSettings>(m_dir.filePath("settings.ini"), QSettings::IniFormat);
        m_state = std::make_unique<AppState>(*m_settings, "en_GB",
                                             [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
        m_speech = std::make_unique<FakeSpeechRecognition>();
        m_transcriber = std::make_unique<SpeechTranscriber>(*m_state, *m_speech);
        m_calls = 0;
        m_transcript.reset();
    }

    void cleanup() {
        m_transcriber.reset();
        QCOMPARE(m_speech->liveRecognizers, 0);
        m_state.reset();
        m_settings->clear();
    }

    void completesOnceOnAFinalResultOrAnError_data() {
        QTest::addColumn<QStringList>("updates"); // kind:text, where "error:" carries no text
        QTest::addColumn<std::optional<QString>>("transcript");
        const auto row = [](const char* name, const QStringList& updates, std::optional<QString> transcript) {
            QTest::newRow(name) << updates << transcript;
        };
        row("partials then a final", {"partial:hello", "partial:hello wor", "final:Hello world."},
            "Hello world.");
        row("error alone", {"error:"}, std::nullopt);
        row("error after a partial", {"partial:hello", "error:"}, std::nullopt);
        row("error with a partial", {"error:hello"}, std::nullopt);
        row("error after the final", {"final:done", "error:", "final:again"}, "done");
        row("final with an error", {"final+error:both"}, "both");
        row("empty final", {"final:"}, QString());
    }

    void completesOnceOnAFinalResultOrAnError() {
        QFETCH(QStringList, updates);
        QFETCH(std::optional<QString>, transcript);
        transcribe("en-US");
        FakeSpeechRecognizer* recognizer = m_speech->lastRecognizer;
        QVERIFY(recognizer);
        QCOMPARE(recognizer->recognizedUrl, QStringLiteral("/tmp/recording.m4a"));
        bool completed = false;
        for (const QString& update : updates) {
            const QString kind = update.section(':', 0, 0);
            const QString text = update.section(':', 1);
            const bool isError = kind.endsWith("error");
            recognizer->handler({isError && text.isEmpty() ? std::nullopt : std::optional(text),
                                 kind.startsWith("final"),
                                 isError ? std::optional<QString>("no speech detected") : std::nullopt});
            completed = completed || kind != "partial";
            QCOMPARE(m_calls, completed ? 1 : 0);
        }
        QCOMPARE(m_transcript, transcript);
        QTRY_COMPARE(m_speech->liveRecognizers, 0);
    }

    void choosesTheRecognizer() {
        transcribe("xx-INVENTED");
        QCOMPARE(m_speech->requestedLocales, QStringList({"xx-INVENTED", "en-US"}));
        QCOMPARE(m_speech->lastRecognizer->locale, QStringLiteral("en-US"));
        m_speech->lastRecognizer->handler({"hi", true, std::nullopt});
        QCOMPARE(m_transcript, QStringLiteral("hi"));

        // A supported locale whose recogniser is unavailable: no result, no en-US attempt, nothing kept.
        m_speech->requestedLocales.clear();
        m_speech->supportedLocales << "de-DE";
        m_speech->unavailableLocales << "de-DE";
        transcribe("de-DE");
        QCOMPARE(m_speech->requestedLocales, QStringList{"de-DE"});
        QCOMPARE(m_calls, 2);
        QCOMPARE(m_transcript, std::nullopt);
        QTRY_COMPARE(m_speech->liveRecognizers, 0);

        m_speech->supportedLocales.clear();
        m_transcript = "stale";
        transcribe("de-DE");
        QCOMPARE(m_calls, 3);
        QCOMPARE(m_transcript, std::nullopt);
    }

    // The recogniser is made when a recording starts, used if the locale is still the same, and released
    // when the dictation ends.
    void preparesTheRecognizerWhileRecording() {
        m_state->setTranscriptionLocale("fr-FR");
        m_state->setRecordingState(RecordingState::recording);
        QCOMPARE(m_speech->requestedLocales, QStringList({"fr-FR", "en-US"}));
        QCOMPARE(m_speech->liveRecognizers, 1);
        m_state->setRecordingState(RecordingState::idle);
        QCOMPARE(m_speech->liveRecognizers, 0);

        m_state->setRecordingState(RecordingState::recording);
        FakeSpeechRecognizer* prepared = m_speech->lastRecognizer;
        m_state->setRecordingState(RecordingState::processing);
        transcribe("fr-FR");
        QCOMPARE(m_speech->requestedLocales.size(), 4);
        QCOMPARE(prepared->recognizedUrl, QStringLiteral("/tmp/recording.m4a"));
        prepared->handler({"bonjour", true, std::nullopt});
        QCOMPARE(m_transcript, QStringLiteral("bonjour"));
        QTRY_COMPARE(m_speech->liveRecognizers, 0);

        m_speech->supportedLocales << "de-DE";
        m_state->setTranscriptionLocale("de-DE");
        m_state->setRecordingState(RecordingState::recording);
        m_state->setRecordingState(RecordingState::processing);
        transcribe("en-US");
        QCOMPARE(m_speech->lastRecognizer->locale, QStringLiteral("en-US"));
        QCOMPARE(m_speech->liveRecognizers, 1);
        m_speech->lastRecognizer->handler({"hello", true, std::nullopt});
        QCOMPARE(m_transcript, QStringLiteral("hello"));
    }
};

QTEST_GUILESS_MAIN(TranscriberTest)
#include "tst_transcriber.moc"
