#include "audio/MicrophoneRecorder.h"
#include "audio/RecordingFile.h"
#include "fakes/FakePlatform.h"
#include "fakes/TestAppState.h"
#include "log/Log.h"

#include <QDir>
#include <QTest>
#include <QThread>

#include <limits>
#include <thread>

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

class RecorderTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> m_app;
    std::unique_ptr<FakeAudioCapture> m_capture;
    std::unique_ptr<MicrophoneRecorder> m_recorder;
    std::unique_ptr<JournalDelegate> m_delegate;
    const QString m_file = QStringLiteral("/run/user/murmo_recording.m4a");
    const QString m_started = QStringLiteral("capture usb_mic into ") + m_file;

private slots:
    void init() {
        m_app = std::make_unique<TestAppState>();
        m_app->state.setSelectedMicrophoneID(QStringLiteral("usb_mic"));
        m_capture = std::make_unique<FakeAudioCapture>();
        m_recorder = std::make_unique<MicrophoneRecorder>(m_app->state, *m_capture, m_file);
        m_delegate = std::make_unique<JournalDelegate>(m_capture->journal);
        setLogSink([this](const QString& line) { m_capture->journal << QStringLiteral("log ") + line; });
    }

    void cleanup() {
        setLogSink({});
        m_recorder.reset();
    }

    void startRecordsTheChosenDeviceOnlyWhenItOpens() {
        m_app->state.setVolumeLevel(0.7f);
        m_capture->hasInput = false;
        m_recorder->startRecording(*m_delegate);
        QCOMPARE(m_capture->journal, QStringList{m_started});
        QCOMPARE(m_app->state.recordingState(), RecordingState::idle);
        QCOMPARE(m_app->state.volumeLevel(), 0.7f);

        m_capture->hasInput = true;
        m_recorder->startRecording(*m_delegate);
        QCOMPARE(m_app->state.recordingState(), RecordingState::recording);
        QCOMPARE(m_app->state.volumeLevel(), 0.0f);
        // A second start lets the running capture go first.
        m_recorder->startRecording(*m_delegate);
        QCOMPARE(m_capture->journal,
                 (QStringList{m_started, m_started, "log [AppState] Recording started", "capture released",
                              m_started, "log [AppState] Recording started"}));
    }

    void levelsDriveTheVolumeOnlyWhileRecording() {
        m_recorder->startRecording(*m_delegate);
        m_capture->levels({-25.0f, 0.0f}); // the first channel counts
        QCOMPARE(m_app->state.volumeLevel(), 0.5f);
        // No reading, no change: NaN (no samples yet) or no channels.
        m_capture->levels({std::numeric_limits<float>::quiet_NaN(), -10.0f});
        m_capture->levels({});
        QCOMPARE(m_app->state.volumeLevel(), 0.5f);

        m_app->state.setRecordingState(RecordingState::processing);
        m_recorder->stop();
        QCOMPARE(m_app->state.volumeLevel(), 0.0f);
        QCOMPARE(m_capture->journal.last(), QStringLiteral("stop recording"));
        m_capture->levels({0.0f});
        QCOMPARE(m_app->state.volumeLevel(), 0.0f);
    }

    // The capture is let go before the delegate hears the outcome, which comes later on the main thread,
    // wherever the capture reported it.
    void finishReleasesTheCaptureThenReportsOnTheMainThread() {
        m_recorder->startRecording(*m_delegate);
        m_capture->journal.clear();
        std::thread([this] { m_capture->finish(m_file, QStringLiteral("device unplugged")); }).join();
        QVERIFY(m_capture->journal.isEmpty());
        QTRY_COMPARE(m_capture->journal,
                     (QStringList{"capture released", "finished " + m_file + " device unplugged"}));
    }

    void reportOfAReplacedCaptureIsDropped() {
        m_recorder->startRecording(*m_delegate);
        const AudioCapture::FinishHandler first = m_capture->finish;
        m_recorder->startRecording(*m_delegate);
        m_capture->journal.clear();
        first(m_file, std::nullopt);
        QTest::qWait(50);
        QVERIFY(m_capture->journal.isEmpty());
        QCOMPARE(m_app->state.recordingState(), RecordingState::recording);
        m_capture->finish(m_file, std::nullopt);
        QTRY_COMPARE(m_capture->journal, (QStringList{"capture released", "finished " + m_file + " done"}));
    }

    void recordingLivesInThePrivateRuntimeDirectory() {
        const QString runtime = m_app->directory.filePath(QStringLiteral("run"));
        QVERIFY(
            QDir().mkdir(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        const QString path = recordingFilePath();
        qputenv("XDG_RUNTIME_DIR", saved);
        QCOMPARE(path, runtime + QStringLiteral("/murmo_recording.m4a"));
    }
};

QTEST_GUILESS_MAIN(RecorderTest)
#include "tst_recorder.moc"
