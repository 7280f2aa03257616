#include "audio/MicrophoneRecorder.h"
#include "audio/RecordingFile.h"
#include "audio/VolumeLevel.h"
#include "core/AppState.h"
#include "log/Log.h"
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

struct DelegateSpy : RecordingDelegate {
    void recordingDidFinish(const QString& url, const std::optional<QString>& error) override {
        reports << url + QStringLiteral(" ") + error.value_or(QStringLiteral("done"));
        offMainThread = offMainThread || QThread::currentThread() != QCoreApplication::instance()->thread();
    }
    QStringList reports;
    bool offMainThread = false;
};

class RecorderTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void levelFollowsPowerLinearly();
    void startStepsRunInOrder();
    void meterReadsOnlyTheFirstChannelWhileRecording();
    void finishReportReachesTheDelegateOnTheMainThreadLater();
    void recordingLivesInThePrivateRuntimeDirectory();

private:
    QString recordingFile() const { return m_dir.filePath(QStringLiteral("murmo_recording.m4a")); }

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
    connect(m_state.get(), &AppState::recordingStateChanged, this,
            [this](RecordingState state) { m_events << QStringLiteral("state %1").arg(int(state)); });
    m_capture = std::make_unique<FakeAudioCapture>(m_events);
    m_recorder = std::make_unique<MicrophoneRecorder>(*m_state, *m_capture, recordingFile());
    setLogSink([this](const QString& line) { m_events.append(QStringLiteral("log ") + line); });
}

void RecorderTest::cleanup() {
    setLogSink({});
    m_state.reset();
    m_recorder.reset();
}

void RecorderTest::levelFollowsPowerLinearly() {
    const float silence = -std::numeric_limits<float>::infinity();
    const std::pair<float, float> decibelsToLevel[] = {{silence, 0}, {-80, 0}, {-25, 0.5}, {0, 1}, {6, 1}};
    for (const auto& [decibels, level] : decibelsToLevel) {
        QCOMPARE(volumeLevelForPower(decibels), level);
    }
}

void RecorderTest::startStepsRunInOrder() {
    m_state->setSelectedMicrophoneID(QStringLiteral("usb_mic"));
    m_state->setVolumeLevel(0.7f);
    const QString started = QStringLiteral("capture started usb_mic ") + recordingFile();
    // Without an input device nothing changes.
    m_capture->hasInput = false;
    m_recorder->startRecording(m_delegate);
    QCOMPARE(m_events, QStringList{started});
    QVERIFY(!m_state->captureSession && !m_state->audioFileOutput && !m_state->volumeTimer);
    QCOMPARE(m_state->volumeLevel(), 0.7f);

    m_events.clear();
    m_capture->hasInput = true;
    const QString recording = QStringLiteral("state %1").arg(int(RecordingState::recording));
    m_recorder->startRecording(m_delegate);
    QCOMPARE(m_events,
             (QStringList{started, recording, "overlay recording", "log [AppState] Recording started"}));
    QCOMPARE(m_state->volumeLevel(), 0.0f);

    // A second start stops the running capture first.
    m_events.clear();
    m_recorder->startRecording(m_delegate);
    QCOMPARE(m_events.mid(0, 2), (QStringList{"session stopped", started}));
    QCOMPARE(m_state->captureSession.get(), m_capture->lastSession);
    QCOMPARE(m_state->audioFileOutput, m_capture->lastSession->fileOutput());
    QVERIFY(m_state->volumeTimer && m_state->volumeTimer->isActive());
    QCOMPARE(m_state->volumeTimer->interval(), 50);
}

void RecorderTest::meterReadsOnlyTheFirstChannelWhileRecording() {
    m_recorder->startRecording(m_delegate);
    FakeAudioCapture::Session& session = *m_capture->lastSession;
    // The timer's ticks read the meter by themselves.
    session.levels = {-25.0f, 0.0f};
    QTRY_COMPARE_WITH_TIMEOUT(m_state->volumeLevel(), 0.5f, 10000);

    // No reading, no change: NaN (no samples yet), no channels, not recording, or no file output.
    m_state->volumeTimer.reset();
    session.levels = {std::numeric_limits<float>::quiet_NaN(), -10.0f};
    m_recorder->updateVolumeLevel();
    session.levels = {};
    m_recorder->updateVolumeLevel();
    session.levels = {0.0f};
    m_state->setRecordingState(RecordingState::processing);
    m_recorder->updateVolumeLevel();
    m_state->setRecordingState(RecordingState::recording);
    m_state->audioFileOutput = nullptr;
    m_recorder->updateVolumeLevel();
    QCOMPARE(m_state->volumeLevel(), 0.5f);
}

void RecorderTest::finishReportReachesTheDelegateOnTheMainThreadLater() {
    m_recorder->startRecording(m_delegate);
    std::thread([this] { m_capture->finish(recordingFile(), QStringLiteral("device unplugged")); }).join();
    m_capture->finish(recordingFile(), std::nullopt);
    QVERIFY(m_delegate.reports.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(m_delegate.reports,
                              (QStringList{recordingFile() + " device unplugged", recordingFile() + " done"}),
                              10000);
    QVERIFY(!m_delegate.offMainThread);
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
