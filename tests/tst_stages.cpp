#include "audio/MicrophoneRecorder.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeSpeechRecognition.h"
#include "fakes/TestAppState.h"
#include "output/PasteDeliverer.h"
#include "speech/SpeechTranscriber.h"

#include <QTest>
#include <QThread>

#include <limits>
#include <thread>

Q_DECLARE_METATYPE(RecognitionResult)

namespace {

/// Long enough for a wrongly scheduled paste to show up after the 0.3 s delay.
constexpr int quietPeriodMs = 700;

/// Writes what it hears into the capture's journal, so that the order of release and report shows.
struct JournalDelegate : RecordingDelegate {
    explicit JournalDelegate(QStringList& journal)
        : journal(journal) {}
    void recordingDidFinish(const QString& url, const std::optional<QString>& error) override {
        const bool onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        journal << QStringLiteral("finished %1 %2%3")
                       .arg(url, error.value_or("done"), onMainThread ? "" : " off the main thread");
    }
    QStringList& journal;
};

const QString recordingFile = QStringLiteral("/run/user/murmo_recording.m4a");

/// The stages over fakes, made afresh for each test.
struct Stages {
    TestAppState app;
    FakeAudioCapture capture;
    MicrophoneRecorder recorder{app.state, capture, recordingFile};
    JournalDelegate delegate{capture.journal};
    FakeSpeechRecognition speech;
    SpeechTranscriber transcriber{app.state, speech};
    QStringList outcomes; // each answer of the transcriber, "nothing" for none
    FakeDeliveryServices services;
    PasteDeliverer deliverer{app.state, {services, services, services, services, services}};
};

} // namespace

// The stages of a dictation that own a platform service: the recorder, the transcriber and the deliverer.
class TestStages : public QObject {
    Q_OBJECT

    std::unique_ptr<Stages> m_s;
    const QString m_started = QStringLiteral("capture usb_mic into ") + recordingFile;

    void transcribe(const QString& locale) {
        m_s->app.state.setTranscriptionLocale(locale);
        m_s->transcriber.transcribeAudio(recordingFile, [this](const TextResult& result) {
            m_s->outcomes << result.text.value_or(QStringLiteral("nothing"));
        });
    }

private slots:
    void init() {
        m_s = std::make_unique<Stages>();
        m_s->app.state.setSelectedMicrophoneID(QStringLiteral("usb_mic"));
    }

    void cleanup() {
        setLogSink({});
        m_s.reset();
    }

    void startRecordsTheChosenDeviceOnlyWhenItOpens() {
        m_s->app.state.setVolumeLevel(0.7f);
        m_s->capture.hasInput = false;
        m_s->recorder.startRecording(m_s->delegate);
        QCOMPARE(m_s->capture.journal, QStringList{m_started});
        QCOMPARE(m_s->app.state.recordingState(), RecordingState::idle);
        QCOMPARE(m_s->app.state.volumeLevel(), 0.7f);

        m_s->capture.hasInput = true;
        m_s->recorder.startRecording(m_s->delegate);
        QCOMPARE(m_s->app.state.recordingState(), RecordingState::recording);
        QCOMPARE(m_s->app.state.volumeLevel(), 0.0f);
        // A second start lets the running capture go first.
        m_s->recorder.startRecording(m_s->delegate);
        QCOMPARE(m_s->capture.journal, (QStringList{m_started, m_started, "capture released", m_started}));
        QCOMPARE(m_s->app.log, QStringList(2, "[AppState] Recording started"));
    }

    void levelsDriveTheVolumeOnlyWhileRecording() {
        m_s->recorder.startRecording(m_s->delegate);
        m_s->capture.levels({-25.0f, 0.0f}); // the first channel counts
        QCOMPARE(m_s->app.state.volumeLevel(), 0.5f);
        // No reading, no change: NaN (no samples yet) or no channels.
        m_s->capture.levels({std::numeric_limits<float>::quiet_NaN(), -10.0f});
        m_s->capture.levels({});
        QCOMPARE(m_s->app.state.volumeLevel(), 0.5f);

        m_s->app.state.setRecordingState(RecordingState::processing);
        m_s->recorder.stop();
        QCOMPARE(m_s->app.state.volumeLevel(), 0.0f);
        QCOMPARE(m_s->capture.journal.last(), QStringLiteral("stop recording"));
        m_s->capture.levels({0.0f});
        QCOMPARE(m_s->app.state.volumeLevel(), 0.0f);
    }

    // The capture is let go before the delegate hears the outcome, which comes later on the main thread,
    // wherever the capture reported it.
    void finishReleasesTheCaptureThenReportsOnTheMainThread() {
        m_s->recorder.startRecording(m_s->delegate);
        m_s->capture.journal.clear();
        std::thread([this] {
            m_s->capture.finish(recordingFile, QStringLiteral("device unplugged"));
        }).join();
        QVERIFY(m_s->capture.journal.isEmpty());
        QTRY_COMPARE(m_s->capture.journal,
                     (QStringList{"capture released", "finished " + recordingFile + " device unplugged"}));
    }

    void reportOfAReplacedCaptureIsDropped() {
        m_s->recorder.startRecording(m_s->delegate);
        const AudioCapture::FinishHandler first = m_s->capture.finish;
        m_s->recorder.startRecording(m_s->delegate);
        m_s->capture.journal.clear();
        first(recordingFile, std::nullopt);
        QTest::qWait(50);
        QVERIFY(m_s->capture.journal.isEmpty());
        QCOMPARE(m_s->app.state.recordingState(), RecordingState::recording);
        m_s->capture.finish(recordingFile, std::nullopt);
        QTRY_COMPARE(m_s->capture.journal,
                     (QStringList{"capture released", "finished " + recordingFile + " done"}));
    }

    void answersTheTextOrLogsWhyThereIsNone_data() {
        QTest::addColumn<RecognitionResult>("result");
        QTest::addColumn<QStringList>("outcomes");
        QTest::newRow("text") << RecognitionResult::transcript("Hello world.") << QStringList{"Hello world."};
        QTest::newRow("silence") << RecognitionResult::transcript("") << QStringList{""};
        QTest::newRow("error") << RecognitionResult::failure("the file holds no audio")
                               << QStringList{"nothing",
                                              "Speech recognition failed: the file holds no audio"};
    }

    void answersTheTextOrLogsWhyThereIsNone() {
        QFETCH(RecognitionResult, result);
        transcribe("en-US");
        QCOMPARE(m_s->speech.lastRecognizer->recognizedUrl, recordingFile);
        m_s->speech.lastRecognizer->handler(result);
        QTEST(m_s->outcomes + m_s->app.log, "outcomes");
        QTRY_COMPARE(m_s->speech.liveRecognizers, 0);
    }

    void fallsBackToUsEnglishOnlyForAnUnsupportedLocale() {
        transcribe("xx-INVENTED");
        QCOMPARE(m_s->speech.requestedLocales, QStringList({"xx-INVENTED", "en-US"}));
        m_s->speech.lastRecognizer->handler(RecognitionResult::transcript("hi"));
        QCOMPARE(m_s->outcomes, QStringList{"hi"});

        // A supported locale whose recogniser is unavailable: nothing, no en-US attempt, nothing kept.
        m_s->speech.requestedLocales.clear();
        m_s->speech.supportedLocales << "de-DE";
        m_s->speech.unavailableLocales << "de-DE";
        transcribe("de-DE");
        QCOMPARE(m_s->speech.requestedLocales, QStringList{"de-DE"});
        m_s->speech.supportedLocales.clear();
        transcribe("de-DE");
        QCOMPARE(m_s->outcomes, (QStringList{"hi", "nothing", "nothing"}));
        QCOMPARE(m_s->app.log, (QStringList{"The speech recogniser for de-DE is not available.",
                                            "No speech recogniser for de-DE or en-US."}));
    }

    // A recogniser is prepared when a recording starts, used if the locale is still the same, and let go
    // when the dictation ends.
    void preparesTheRecognizerWhileRecording() {
        m_s->speech.supportedLocales << "de-DE";
        m_s->app.state.setTranscriptionLocale("de-DE");
        m_s->app.state.setRecordingState(RecordingState::recording);
        m_s->app.state.setRecordingState(RecordingState::idle);
        QCOMPARE(m_s->speech.liveRecognizers, 0);
        m_s->app.state.setRecordingState(RecordingState::recording);
        transcribe("de-DE");
        QCOMPARE(m_s->speech.requestedLocales, QStringList(2, "de-DE"));
        m_s->speech.lastRecognizer->handler(RecognitionResult::transcript("hallo"));
        QTRY_COMPARE(m_s->speech.liveRecognizers, 0);

        m_s->app.state.setRecordingState(RecordingState::recording);
        transcribe("en-US");
        QCOMPARE(m_s->speech.lastRecognizer->locale, QStringLiteral("en-US"));
        QCOMPARE(m_s->speech.liveRecognizers, 1);
        m_s->speech.lastRecognizer->handler(RecognitionResult::transcript("hello"));
        QCOMPARE(m_s->outcomes, (QStringList{"hallo", "hello"}));
    }

    void delivers_data() {
        QTest::addColumn<bool>("autoPaste");
        QTest::addColumn<QString>("previous"); // none, or the name of the application, "?" unnamed, "gone"
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QStringList>("activation"); // right after the clipboard and the sound
        QTest::addColumn<QStringList>("later");
        const QStringList paste = {"check trust", "log [AppState] Dispatching Cmd+V...", "paste keystroke"};
        QTest::newRow("auto-paste off") << false << "Editor" << true << QStringList() << QStringList();
        QTest::newRow("previous application activated")
            << true << "Editor ✍" << true << QStringList{"log [AppState] Activating Editor ✍...", "activate"}
            << paste;
        QTest::newRow("previous application without a name")
            << true << "?" << true << QStringList{"log [AppState] Activating app...", "activate"} << paste;
        QTest::newRow("no previous application") << true << "" << true << QStringList() << paste;
        QTest::newRow("previous application gone") << true << "gone" << true << QStringList() << paste;
        QTest::newRow("not trusted: prompt, no keystroke, a notice")
            << true << "" << false << QStringList()
            << QStringList{"check trust", "log [AppState] Accessibility not trusted. Prompting user...",
                           "notify The text is on the clipboard; paste it with Ctrl+V."};
    }

    void delivers() {
        QFETCH(bool, autoPaste);
        QFETCH(QString, previous);
        QFETCH(bool, trusted);
        QFETCH(QStringList, activation);
        QFETCH(QStringList, later);
        const QString text = QStringLiteral("Hello wörld 👋");
        setLogSink([this](const QString& line) { m_s->services.journal << QStringLiteral("log ") + line; });
        const QStringList atOnce =
            QStringList{"clear clipboard", "set clipboard " + text, "play Tink"} + activation;
        m_s->app.state.setAutoPaste(autoPaste);
        m_s->services.trusted = trusted;
        if (!previous.isEmpty()) {
            m_s->app.state.previousApp = std::make_shared<FakeApplication>(
                m_s->services.journal, previous == u'?' ? std::nullopt : std::optional(previous),
                previous == "gone");
        }
        m_s->deliverer.deliverText(text);
        QCOMPARE(m_s->services.journal, atOnce);
        QTRY_COMPARE(m_s->services.journal, atOnce + later);
        QTest::qWait(quietPeriodMs);
        QCOMPARE(m_s->services.journal, atOnce + later);
    }
};

QTEST_GUILESS_MAIN(TestStages)
#include "tst_stages.moc"
