#include "core/AppState.h"
#include "core/Log.h"
#include "core/Prompts.h"
#include "core/SessionController.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeStages.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

class TestSession : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pressesWithinHalfASecondAreDropped();
    void pressesDuringProcessingOnlyMoveTheGuard();
    void menuStartDoesNotArmTheGuard();
    void deniedMicrophoneStartsNothing();
    void missingInputLeavesIdle();
    void stopRemembersTheWindowInFront();
    void literalDeliversTheTranscriptUntouched();
    void emptyOrMissingTranscriptEndsQuietly();
    void rewrittenReplyIsDeliveredAndCleanedUp();
    void chatFailureDeliversNothing();
    void recordingErrorKeepsTheFile();
    void inputsAreTakenWhenTheFileIsFinished();

private:
    void pressHotkey() { m_controller->toggleRecording(); }
    void startRecording();
    void stopAndFinishRecording();
    QString recordingFile() const { return m_dir.filePath(QStringLiteral("murmo_recording.m4a")); }

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;
    QStringList m_overlayCalls;
    QStringList m_log;
    std::unique_ptr<AppState> m_state;
    FakeClock m_clock;
    FakeMicrophonePermission m_microphone;
    FakeWorkspace m_workspace;
    std::unique_ptr<FakeRecorder> m_recorder;
    FakeTranscriber m_transcriber;
    FakeTranscriptRewriter m_rewriter;
    FakeTextDeliverer m_deliverer;
    std::unique_ptr<SessionController> m_controller;
};

void TestSession::init() {
    m_settings =
        std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("settings.conf")), QSettings::IniFormat);
    m_overlayCalls.clear();
    m_log.clear();
    setLogSink([this](const QString& line) { m_log << line; });
    m_state = std::make_unique<AppState>(*m_settings, QStringLiteral("en_US"), [this](AppState&) {
        return std::make_unique<FakeOverlayWindow>(m_overlayCalls);
    });
    m_microphone = FakeMicrophonePermission();
    m_workspace.frontmost.reset();
    m_recorder = std::make_unique<FakeRecorder>(*m_state);
    m_transcriber = FakeTranscriber();
    m_rewriter = FakeTranscriptRewriter();
    m_deliverer = FakeTextDeliverer();
    m_controller = std::make_unique<SessionController>(
        *m_state, m_clock, m_microphone, m_workspace,
        SessionController::Stages{*m_recorder, m_transcriber, m_rewriter, m_deliverer});
}

void TestSession::cleanup() {
    m_controller.reset();
    m_state.reset();
    setLogSink(nullptr);
}

void TestSession::startRecording() {
    m_controller->startDictation();
    QTRY_COMPARE(m_state->recordingState(), RecordingState::recording);
}

/// Stops the recording and has the recorder report a finished file, as after a dictation.
void TestSession::stopAndFinishRecording() {
    m_controller->stopDictation();
    QFile file(recordingFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    m_controller->recordingDidFinish(recordingFile(), std::nullopt);
}

void TestSession::pressesWithinHalfASecondAreDropped() {
    pressHotkey();
    QTRY_COMPARE(m_state->recordingState(), RecordingState::recording);
    const Clock::TimePoint accepted = m_state->lastHotkeyTime;

    m_clock.advance(300ms);
    pressHotkey();
    QCOMPARE(m_state->recordingState(), RecordingState::recording);
    QCOMPARE(m_state->lastHotkeyTime, accepted);

    m_clock.advance(200ms); // exactly 0.5 s after the accepted press: still too early
    pressHotkey();
    QCOMPARE(m_state->recordingState(), RecordingState::recording);

    m_clock.advance(10ms);
    pressHotkey();
    QCOMPARE(m_state->recordingState(), RecordingState::processing);
    QCOMPARE(m_recorder->capture->stopRequests, 1);
}

void TestSession::pressesDuringProcessingOnlyMoveTheGuard() {
    startRecording();
    m_controller->stopDictation();
    m_clock.advance(1s);
    pressHotkey();
    QCOMPARE(m_state->recordingState(), RecordingState::processing);
    QCOMPARE(m_state->lastHotkeyTime, m_clock.now());

    // The dictation ends between the two presses; the second is still within the guard.
    m_controller->recordingDidFinish(recordingFile(), QStringLiteral("disk full"));
    QCOMPARE(m_state->recordingState(), RecordingState::idle);
    m_clock.advance(300ms);
    pressHotkey();
    QTest::qWait(20);
    QCOMPARE(m_state->recordingState(), RecordingState::idle);
    QCOMPARE(m_recorder->starts, 1);
}

void TestSession::menuStartDoesNotArmTheGuard() {
    pressHotkey();
    QTRY_COMPARE(m_state->recordingState(), RecordingState::recording);
    m_controller->stopDictation();
    m_controller->recordingDidFinish(recordingFile(), QStringLiteral("gone"));

    m_clock.advance(600ms);
    startRecording(); // from the menu
    QCOMPARE(m_state->lastHotkeyTime, m_clock.now() - 600ms);
    m_clock.advance(10ms);
    pressHotkey();
    QCOMPARE(m_state->recordingState(), RecordingState::processing);
}

void TestSession::deniedMicrophoneStartsNothing() {
    m_microphone.granted = false;
    m_controller->startDictation();
    m_controller->startDictation();
    QTest::qWait(20);
    QCOMPARE(m_microphone.requests, 2);
    QCOMPARE(m_recorder->starts, 0);
    QCOMPARE(m_state->recordingState(), RecordingState::idle);
    QVERIFY(m_overlayCalls.isEmpty());
}

void TestSession::missingInputLeavesIdle() {
    m_recorder->hasInput = false;
    m_controller->startDictation();
    QTRY_COMPARE(m_recorder->starts, 1);
    QCOMPARE(m_state->recordingState(), RecordingState::idle);
    m_controller->stopDictation();
    QCOMPARE(m_state->recordingState(), RecordingState::idle);
    QVERIFY(m_overlayCalls.isEmpty());
    QVERIFY(m_log.isEmpty());
}

void TestSession::stopRemembersTheWindowInFront() {
    auto editor = std::make_shared<FakeRunningApplication>(QStringLiteral("Editor"));
    auto browser = std::make_shared<FakeRunningApplication>(QStringLiteral("Browser"));
    m_workspace.frontmost = editor;
    startRecording();
    m_state->setVolumeLevel(0.7f);
    m_workspace.frontmost = browser;
    m_controller->stopDictation();

    QCOMPARE(m_state->previousApp, std::shared_ptr<RunningApplication>(browser));
    QCOMPARE(m_state->recordingState(), RecordingState::processing);
    QCOMPARE(m_overlayCalls, (QStringList{"show recording", "show processing"}));
    QCOMPARE(m_state->volumeLevel(), 0.0f);
    QVERIFY(!m_state->volumeTimer);
    QCOMPARE(m_recorder->capture->stopRequests, 1);

    // The capture is released once the file is reported.
    m_controller->recordingDidFinish(recordingFile(), std::nullopt);
    QVERIFY(!m_state->captureSession);
    QVERIFY(!m_state->audioFileOutput);
}

void TestSession::literalDeliversTheTranscriptUntouched() {
    m_state->setSelectedMode(AppState::Mode::literal);
    startRecording();
    stopAndFinishRecording();
    m_transcriber.answer(QStringLiteral("  **so** it goes "));

    QCOMPARE(m_deliverer.delivered, QStringList{QStringLiteral("  **so** it goes ")});
    QVERIFY(m_rewriter.requests.empty());
    QCOMPARE(m_log, QStringList{QStringLiteral("[AppState] Transcription:   **so** it goes ")});
    // The clean-up is a task of its own, after the delivery.
    QCOMPARE(m_state->recordingState(), RecordingState::processing);
    QTRY_COMPARE(m_state->recordingState(), RecordingState::idle);
    QCOMPARE(m_overlayCalls.last(), QStringLiteral("hide"));
    QVERIFY(!QFile::exists(recordingFile()));
}

void TestSession::emptyOrMissingTranscriptEndsQuietly() {
    for (const std::optional<QString>& transcript :
         {std::optional<QString>(QString()), std::optional<QString>()}) {
        m_clock.advance(1s);
        startRecording();
        stopAndFinishRecording();
        m_transcriber.answer(transcript);
        QTRY_COMPARE(m_state->recordingState(), RecordingState::idle);
        QVERIFY(!QFile::exists(recordingFile()));
    }
    QVERIFY(m_deliverer.delivered.isEmpty());
    QVERIFY(m_rewriter.requests.empty());
    QVERIFY(m_log.isEmpty());
    QCOMPARE(m_overlayCalls.count(QStringLiteral("hide")), 2);
}

void TestSession::rewrittenReplyIsDeliveredAndCleanedUp() {
    startRecording();
    stopAndFinishRecording();
    m_transcriber.answer(QStringLiteral("hello world"));
    QCOMPARE(m_rewriter.requests.size(), size_t(1));
    QCOMPARE(m_rewriter.requests[0].transcript, QStringLiteral("hello world"));
    QCOMPARE(m_rewriter.requests[0].systemPrompt, composeSystemPrompt(*m_state, AppState::Mode::smart));

    m_rewriter.answer(QString()); // an empty reply is still delivered
    QCOMPARE(m_deliverer.delivered, QStringList{QString()});
    QTRY_COMPARE(m_state->recordingState(), RecordingState::idle);
    QVERIFY(!QFile::exists(recordingFile()));
}

void TestSession::chatFailureDeliversNothing() {
    startRecording();
    stopAndFinishRecording();
    m_transcriber.answer(QStringLiteral("hello world"));
    m_rewriter.answer(std::nullopt);
    QVERIFY(m_deliverer.delivered.isEmpty());
    QTRY_COMPARE(m_state->recordingState(), RecordingState::idle);
    QCOMPARE(m_overlayCalls.last(), QStringLiteral("hide"));
    QVERIFY(!QFile::exists(recordingFile()));
}

void TestSession::recordingErrorKeepsTheFile() {
    auto editor = std::make_shared<FakeRunningApplication>(QStringLiteral("Editor"));
    m_state->previousApp = editor;
    startRecording();
    QFile file(recordingFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    // The recorder fails on its own, without a stop.
    m_controller->recordingDidFinish(recordingFile(), QStringLiteral("The device was unplugged."));
    QCOMPARE(m_log, QStringList{QStringLiteral("Recording error: The device was unplugged.")});
    QCOMPARE(m_state->recordingState(), RecordingState::idle);
    QCOMPARE(m_overlayCalls.last(), QStringLiteral("hide"));
    QVERIFY(!m_state->captureSession);
    QCOMPARE(m_state->previousApp, std::shared_ptr<RunningApplication>(editor));
    QTest::qWait(20);
    QVERIFY(QFile::exists(recordingFile()));
    QVERIFY(m_transcriber.urls.isEmpty());
}

void TestSession::inputsAreTakenWhenTheFileIsFinished() {
    m_state->setSelectedMode(AppState::Mode::gonzo);
    m_state->setOllamaHost(QStringLiteral("http://127.0.0.1:1111"));
    m_state->setModelName(QStringLiteral("first"));
    startRecording();
    stopAndFinishRecording();

    // Changed while transcribing: mode, host and model no longer count, the banned words do.
    m_state->setSelectedMode(AppState::Mode::literal);
    m_state->setOllamaHost(QStringLiteral("http://127.0.0.1:2222"));
    m_state->setModelName(QStringLiteral("second"));
    m_state->setBannedWords(QStringLiteral("verily"));
    m_transcriber.answer(QStringLiteral("text"));

    QCOMPARE(m_rewriter.requests.size(), size_t(1));
    const FakeTranscriptRewriter::Request& request = m_rewriter.requests[0];
    QCOMPARE(request.host, QStringLiteral("http://127.0.0.1:1111"));
    QCOMPARE(request.model, QStringLiteral("first"));
    QVERIFY(request.systemPrompt.startsWith(*promptTableEntry(AppState::Mode::gonzo)));
    QVERIFY(request.systemPrompt.endsWith(QStringLiteral("your response: verily")));
    m_rewriter.answer(QStringLiteral("done"));
    QTRY_COMPARE(m_state->recordingState(), RecordingState::idle);
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
