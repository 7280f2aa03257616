#include "core/AppState.h"
#include "log/Log.h"
#include "core/Prompts.h"
#include "core/SessionController.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeStages.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

/// A null QVariant stands for a stage that answers with nothing.
std::optional<QString> answerOf(const QVariant& value) {
    return value.isNull() ? std::nullopt : std::optional(value.toString());
}

} // namespace

/// The controller over fakes that answer only when the test says so.
struct Dictation {
    explicit Dictation(const QString& settingsFile)
        : settings(settingsFile, QSettings::IniFormat) {}

    QSettings settings;
    QStringList overlayCalls;
    AppState state{settings, QStringLiteral("en_US"),
                   [this](AppState&) { return std::make_unique<FakeOverlayWindow>(overlayCalls); }};
    FakeClock clock;
    FakeMicrophonePermission microphone;
    FakeWorkspace workspace;
    FakeRecorder recorder{state};
    FakeTranscriber transcriber;
    FakeTranscriptRewriter rewriter;
    FakeTextDeliverer deliverer;
    SessionController controller{
        state, clock, microphone, workspace, {recorder, transcriber, rewriter, deliverer}};
};

class TestSession : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void hotkeyWalk();
    void nothingStartsWithoutMicrophoneOrInput();
    void transcriptOutcome_data();
    void transcriptOutcome();
    void inputsAreTakenWhenTheFileIsFinished();

private:
    void pressHotkey() { m_d->controller.toggleRecording(); }
    void startRecording();
    /// Stops the recording and has the recorder report a finished file, as after a dictation.
    void stopAndFinishRecording();
    void writeRecordingFile();
    QString recordingFile() const { return m_dir.filePath(QStringLiteral("murmo_recording.m4a")); }

    QTemporaryDir m_dir;
    QStringList m_log;
    std::unique_ptr<Dictation> m_d;
};

void TestSession::init() {
    m_log.clear();
    setLogSink([this](const QString& line) { m_log << line; });
    m_d = std::make_unique<Dictation>(m_dir.filePath(QStringLiteral("settings.conf")));
}

void TestSession::cleanup() {
    m_d.reset();
    setLogSink(nullptr);
}

void TestSession::startRecording() {
    m_d->controller.startDictation();
    QTRY_COMPARE(m_d->state.recordingState(), RecordingState::recording);
}

void TestSession::stopAndFinishRecording() {
    m_d->controller.stopDictation();
    writeRecordingFile();
    m_d->controller.recordingDidFinish(recordingFile(), std::nullopt);
}

void TestSession::writeRecordingFile() {
    QFile file(recordingFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void TestSession::hotkeyWalk() {
    // A start from the menu does not arm the guard: a press right after it stops the recording.
    m_d->workspace.frontmost = std::make_shared<FakeRunningApplication>(QStringLiteral("Editor"));
    m_d->clock.advance(600ms);
    startRecording();
    m_d->state.setVolumeLevel(0.7f);
    auto browser = std::make_shared<FakeRunningApplication>(QStringLiteral("Browser"));
    m_d->workspace.frontmost = browser;
    m_d->clock.advance(10ms);
    pressHotkey();
    QCOMPARE(m_d->state.previousApp, std::shared_ptr<RunningApplication>(browser));
    QCOMPARE(m_d->state.recordingState(), RecordingState::processing);
    QCOMPARE(m_d->overlayCalls, (QStringList{"show recording", "show processing"}));
    QCOMPARE(m_d->state.volumeLevel(), 0.0f);
    QVERIFY(!m_d->state.volumeTimer);
    QCOMPARE(m_d->recorder.capture->stopRequests, 1);

    // A press during processing only moves the guard.
    m_d->clock.advance(1s);
    pressHotkey();
    QCOMPARE(m_d->state.lastHotkeyTime, m_d->clock.now());

    // A failed recording is logged and its file kept; the capture is released.
    writeRecordingFile();
    m_d->controller.recordingDidFinish(recordingFile(), QStringLiteral("The device was unplugged."));
    QCOMPARE(m_log, QStringList{QStringLiteral("Recording error: The device was unplugged.")});
    QCOMPARE(m_d->state.recordingState(), RecordingState::idle);
    QCOMPARE(m_d->overlayCalls.last(), QStringLiteral("hide"));
    QVERIFY(!m_d->state.captureSession);
    QVERIFY(!m_d->state.audioFileOutput);

    // 0.3 s after the press during processing is still within the guard.
    m_d->clock.advance(300ms);
    pressHotkey();
    QTest::qWait(20);
    QCOMPARE(m_d->recorder.starts, 1);
    QVERIFY(QFile::exists(recordingFile()));
    QVERIFY(m_d->transcriber.urls.isEmpty());

    m_d->clock.advance(300ms);
    pressHotkey();
    QTRY_COMPARE(m_d->state.recordingState(), RecordingState::recording);
    const Clock::TimePoint accepted = m_d->state.lastHotkeyTime;
    m_d->clock.advance(300ms);
    pressHotkey();
    QCOMPARE(m_d->state.lastHotkeyTime, accepted);
    m_d->clock.advance(200ms); // exactly 0.5 s after the accepted press: still too early
    pressHotkey();
    QCOMPARE(m_d->state.recordingState(), RecordingState::recording);
    m_d->clock.advance(10ms);
    pressHotkey();
    QCOMPARE(m_d->state.recordingState(), RecordingState::processing);
}

void TestSession::nothingStartsWithoutMicrophoneOrInput() {
    m_d->microphone.granted = false;
    m_d->controller.startDictation();
    QTest::qWait(20);
    QCOMPARE(m_d->recorder.starts, 0);

    m_d->microphone.granted = true;
    m_d->recorder.hasInput = false;
    m_d->controller.startDictation();
    QTRY_COMPARE(m_d->recorder.starts, 1);
    QCOMPARE(m_d->microphone.requests, 2);
    m_d->controller.stopDictation();
    QCOMPARE(m_d->state.recordingState(), RecordingState::idle);
    QVERIFY(m_d->overlayCalls.isEmpty());
    QVERIFY(m_log.isEmpty());
}

void TestSession::transcriptOutcome_data() {
    QTest::addColumn<bool>("literal");
    QTest::addColumn<QVariant>("transcript");
    QTest::addColumn<QVariant>("reply");
    QTest::addColumn<QStringList>("delivered");

    const QString spoken = QStringLiteral("  **so** it goes ");
    QTest::newRow("literal: transcript untouched")
        << true << QVariant(spoken) << QVariant() << QStringList{spoken};
    QTest::newRow("rewritten reply") << false << QVariant(spoken) << QVariant("So.") << QStringList{"So."};
    QTest::newRow("empty reply still delivered")
        << false << QVariant(spoken) << QVariant("") << QStringList{""};
    QTest::newRow("chat failure") << false << QVariant(spoken) << QVariant() << QStringList();
    QTest::newRow("empty transcript") << false << QVariant("") << QVariant() << QStringList();
    QTest::newRow("no transcript") << false << QVariant() << QVariant() << QStringList();
}

void TestSession::transcriptOutcome() {
    QFETCH(bool, literal);
    QFETCH(QVariant, transcript);
    QFETCH(QVariant, reply);
    QFETCH(QStringList, delivered);

    m_d->state.setSelectedMode(literal ? AppState::Mode::literal : AppState::Mode::smart);
    startRecording();
    stopAndFinishRecording();
    m_d->transcriber.answer(answerOf(transcript));

    const bool rewrites = !literal && !transcript.toString().isEmpty();
    QCOMPARE(m_d->rewriter.requests.size(), size_t(rewrites));
    if (rewrites) {
        QCOMPARE(m_d->rewriter.requests[0].transcript, transcript.toString());
        QCOMPARE(m_d->rewriter.requests[0].systemPrompt,
                 composeSystemPrompt(m_d->state, AppState::Mode::smart));
        m_d->rewriter.answer(answerOf(reply));
    }
    QCOMPARE(m_d->deliverer.delivered, delivered);
    QCOMPARE(m_log, transcript.toString().isEmpty()
                        ? QStringList()
                        : QStringList{QStringLiteral("[AppState] Transcription: ") + transcript.toString()});
    // The clean-up is a task of its own, after the delivery.
    QCOMPARE(m_d->state.recordingState(), RecordingState::processing);
    QTRY_COMPARE(m_d->state.recordingState(), RecordingState::idle);
    QCOMPARE(m_d->overlayCalls.last(), QStringLiteral("hide"));
    QVERIFY(!QFile::exists(recordingFile()));
}

void TestSession::inputsAreTakenWhenTheFileIsFinished() {
    m_d->state.setSelectedMode(AppState::Mode::gonzo);
    m_d->state.setOllamaHost(QStringLiteral("http://127.0.0.1:1111"));
    m_d->state.setModelName(QStringLiteral("first"));
    startRecording();
    stopAndFinishRecording();

    // Changed while transcribing: mode, host and model no longer count, the banned words do.
    m_d->state.setSelectedMode(AppState::Mode::literal);
    m_d->state.setOllamaHost(QStringLiteral("http://127.0.0.1:2222"));
    m_d->state.setModelName(QStringLiteral("second"));
    m_d->state.setBannedWords(QStringLiteral("verily"));
    m_d->transcriber.answer(QStringLiteral("text"));

    QCOMPARE(m_d->rewriter.requests.size(), size_t(1));
    const FakeTranscriptRewriter::Request& request = m_d->rewriter.requests[0];
    QCOMPARE(request.host, QStringLiteral("http://127.0.0.1:1111"));
    QCOMPARE(request.model, QStringLiteral("first"));
    QVERIFY(request.systemPrompt.startsWith(*promptTableEntry(AppState::Mode::gonzo)));
    QVERIFY(request.systemPrompt.endsWith(QStringLiteral("your response: verily")));
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
