#include "audio/MicrophoneRecorder.h"
#include "audio/RecordingFile.h"
#include "audio/VolumeLevel.h"
#include "core/AppState.h"
#include "core/Log.h"
#include "fakes/FakeAudioCapture.h"
#include "fakes/OverlayStateSpy.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <limits>
#include <thread>

namespace {

struct DelegateSpy : RecordingDelegate {
    void recordingDidFinish(const QString& url, const std::optional<QString>& error) override {
        ++calls;
        lastUrl = url;
        lastError = error;
        thread = QThread::currentThread();
    }
    int calls = 0;
    QString lastUrl;
    std::optional<QString> lastError;
    QThread* thread = nullptr;
};

} // namespace

class RecorderTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void levelFollowsPowerLinearly_data();
    void levelFollowsPowerLinearly();
    void startStepsRunInOrder();
    void startStopsTheRunningCaptureFirst();
    void noInputLeavesEverythingAsItWas();
    void meterReadsTheFirstChannelWhileRecording();
    void meterKeepsTheLevelWithoutAReading();
    void finishReportReachesTheDelegateOnTheMainThreadLater();
    void recordingLivesInThePrivateRuntimeDirectory();

private:
    QTemporaryDir m_dir;
    QStringList m_events;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<FakeAudioCapture> m_capture;
    std::unique_ptr<MicrophoneRecorder> m_recorder;
    DelegateSpy m_delegate;
};

void RecorderTest::init() {
    m_events.clear();
    m_delegate = DelegateSpy();
    m_settings =
        std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    m_state = std::make_unique<AppState>(*m_settings, QStringLiteral("en_US"), [this](AppState&) {
        return std::make_unique<OverlayStateSpy>(m_events);
    });
    connect(m_state.get(), &AppState::recordingStateChanged, this, [this](RecordingState state) {
        m_events.append(state == RecordingState::recording ? QStringLiteral("state recording")
                                                           : QStringLiteral("state other"));
    });
    m_capture = std::make_unique<FakeAudioCapture>(m_events);
    m_recorder =
        std::make_unique<MicrophoneRecorder>(*m_state, *m_capture, m_dir.filePath("murmo_recording.m4a"));
    setLogSink([this](const QString& line) { m_events.append(QStringLiteral("log ") + line); });
}

void RecorderTest::cleanup() {
    setLogSink({});
    m_state.reset();
    m_recorder.reset();
}

void RecorderTest::levelFollowsPowerLinearly_data() {
    QTest::addColumn<float>("decibels");
    QTest::addColumn<float>("level");
    QTest::newRow("far below the floor") << -80.0f << 0.0f;
    QTest::newRow("silence") << -std::numeric_limits<float>::infinity() << 0.0f;
    QTest::newRow("floor") << -50.0f << 0.0f;
    QTest::newRow("half way") << -25.0f << 0.5f;
    QTest::newRow("full scale") << 0.0f << 1.0f;
    QTest::newRow("above full scale") << 6.0f << 1.0f;
}

void RecorderTest::levelFollowsPowerLinearly() {
    QFETCH(float, decibels);
    QFETCH(float, level);
    QCOMPARE(volumeLevelForPower(decibels), level);
}

void RecorderTest::startStepsRunInOrder() {
    m_state->setSelectedMicrophoneID(QStringLiteral("usb_mic"));
    m_state->setVolumeLevel(0.7f);
    m_events.clear();

    m_recorder->startRecording(m_delegate);

    const QStringList expected{QStringLiteral("capture started"), QStringLiteral("state recording"),
                               QStringLiteral("overlay recording"),
                               QStringLiteral("log [AppState] Recording started")};
    QCOMPARE(m_events, expected);
    QCOMPARE(m_capture->lastDeviceId, QStringLiteral("usb_mic"));
    QCOMPARE(m_capture->lastUrl, m_dir.filePath("murmo_recording.m4a"));
    QCOMPARE(m_state->captureSession.get(), m_capture->lastSession);
    QCOMPARE(m_state->audioFileOutput, m_capture->lastSession->fileOutput());
    QVERIFY(m_state->volumeTimer && m_state->volumeTimer->isActive());
    QCOMPARE(m_state->volumeTimer->interval(), 50);
    QCOMPARE(m_state->volumeLevel(), 0.0f);
}

void RecorderTest::startStopsTheRunningCaptureFirst() {
    m_recorder->startRecording(m_delegate);
    m_events.clear();

    m_recorder->startRecording(m_delegate);

    QCOMPARE(m_events.mid(0, 2),
             (QStringList{QStringLiteral("session stopped"), QStringLiteral("capture started")}));
    QCOMPARE(m_state->captureSession.get(), m_capture->lastSession);
    QCOMPARE(m_state->audioFileOutput, m_capture->lastSession->fileOutput());
    QVERIFY(m_state->volumeTimer && m_state->volumeTimer->isActive());
}

void RecorderTest::noInputLeavesEverythingAsItWas() {
    m_capture->hasInput = false;
    m_state->setVolumeLevel(0.3f);
    m_events.clear();

    m_recorder->startRecording(m_delegate);

    QCOMPARE(m_events, QStringList{QStringLiteral("capture started")});
    QCOMPARE(m_state->recordingState(), RecordingState::idle);
    QVERIFY(!m_state->captureSession);
    QVERIFY(!m_state->audioFileOutput);
    QVERIFY(!m_state->volumeTimer);
    QCOMPARE(m_state->volumeLevel(), 0.3f);
}

void RecorderTest::meterReadsTheFirstChannelWhileRecording() {
    m_recorder->startRecording(m_delegate);
    m_capture->lastSession->levels = {-25.0f, 0.0f};
    m_recorder->updateVolumeLevel();
    QCOMPARE(m_state->volumeLevel(), 0.5f);

    // The timer's ticks do the same by themselves.
    m_capture->lastSession->levels = {-10.0f};
    QTRY_COMPARE_WITH_TIMEOUT(m_state->volumeLevel(), 0.8f, 10000);
}

void RecorderTest::meterKeepsTheLevelWithoutAReading() {
    m_recorder->startRecording(m_delegate);
    m_state->volumeTimer.reset();
    FakeAudioCapture::Session& session = *m_capture->lastSession;
    m_state->setVolumeLevel(0.4f);

    session.levels = {std::numeric_limits<float>::quiet_NaN(), -10.0f};
    m_recorder->updateVolumeLevel();
    QCOMPARE(m_state->volumeLevel(), 0.4f);

    session.levels = {};
    m_recorder->updateVolumeLevel();
    QCOMPARE(m_state->volumeLevel(), 0.4f);

    session.levels = {0.0f};
    m_state->setRecordingState(RecordingState::processing);
    m_recorder->updateVolumeLevel();
    QCOMPARE(m_state->volumeLevel(), 0.4f);

    m_state->setRecordingState(RecordingState::recording);
    m_state->audioFileOutput = nullptr;
    m_recorder->updateVolumeLevel();
    QCOMPARE(m_state->volumeLevel(), 0.4f);
}

void RecorderTest::finishReportReachesTheDelegateOnTheMainThreadLater() {
    m_recorder->startRecording(m_delegate);
    const QString url = m_capture->lastUrl;
    std::thread platformThread([this, url] { m_capture->finish(url, QStringLiteral("device unplugged")); });
    platformThread.join();
    QCOMPARE(m_delegate.calls, 0);

    QTRY_COMPARE_WITH_TIMEOUT(m_delegate.calls, 1, 10000);
    QCOMPARE(m_delegate.thread, QThread::currentThread());
    QCOMPARE(m_delegate.lastUrl, url);
    QCOMPARE(m_delegate.lastError, std::optional<QString>(QStringLiteral("device unplugged")));

    m_capture->finish(url, std::nullopt);
    QCOMPARE(m_delegate.calls, 1);
    QTRY_COMPARE_WITH_TIMEOUT(m_delegate.calls, 2, 10000);
    QVERIFY(!m_delegate.lastError);
}

void RecorderTest::recordingLivesInThePrivateRuntimeDirectory() {
    const QString runtime = m_dir.filePath(QStringLiteral("run"));
    QVERIFY(QDir().mkdir(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    const QString path = recordingFilePath();
    qputenv("XDG_RUNTIME_DIR", saved);
    QCOMPARE(path, runtime + QStringLiteral("/murmo_recording.m4a"));
}

QTEST_GUILESS_MAIN(RecorderTest)
#include "tst_recorder.moc"
