#include "audio/MicrophoneRecorder.h"
#include "fakes/FakeStages.h"
#include "log/Log.h"
#include "platform/linux/GstAudioCapture.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryFile>
#include <QTest>

#include <gst/pbutils/pbutils.h>
#include <unistd.h>

// Records from the virtual microphone of the test desktop's private PulseAudio server, into which the tests
// play speech.

namespace {

constexpr int patience = 30000;

/// How long GStreamer finds the media file to play, in seconds; negative when it cannot read it.
double mediaSeconds(const QString& path) {
    g_autoptr(GstDiscoverer) discoverer = gst_discoverer_new(20 * GST_SECOND, nullptr);
    g_autofree gchar* uri = gst_filename_to_uri(QFile::encodeName(path).constData(), nullptr);
    g_autoptr(GstDiscovererInfo) info = gst_discoverer_discover_uri(discoverer, uri, nullptr);
    const bool read = info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK;
    return read ? double(gst_discoverer_info_get_duration(info)) / GST_SECOND : -1;
}

QString pactl(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    process.waitForFinished(patience);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

class GstAudioCaptureTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_speech;
    QString m_recording;
    QProcess m_silence;
    std::unique_ptr<FakeDictation> m_d;
    std::unique_ptr<GstAudioCapture> m_capture;
    std::unique_ptr<MicrophoneRecorder> m_recorder;

private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("PULSE_SERVER"), "needs the test desktop's PulseAudio server");
        m_speech = m_dir.filePath(QStringLiteral("speech.wav"));
        QCOMPARE(QProcess::execute("espeak-ng", {"-w", m_speech, "Hello, this is a test of the recorder."}),
                 0);
        // An idle null sink hands its monitor audio in bursts of about two seconds; a steady low-latency
        // stream into it keeps the virtual microphone flowing in small pieces.
        m_silence.setStandardInputFile(QStringLiteral("/dev/zero"));
        m_silence.start(QStringLiteral("pacat"),
                        {"--playback", "--device=murmuro_speaker", "--latency-msec=20"});
        QVERIFY(m_silence.waitForStarted(patience));
        QTRY_VERIFY_WITH_TIMEOUT(pactl({"list", "short", "sinks"}).contains(QStringLiteral("RUNNING")),
                                 patience);
        // The first capture after that waits a while for its first data; later ones do not.
        GstAudioCapture capture;
        bool measured = false;
        const auto warmUp = capture.startRecording(
            {}, m_dir.filePath("warm-up.m4a"), [](auto&, auto&) {},
            [&measured](const QList<float>&) { measured = true; });
        QVERIFY(warmUp);
        QTRY_VERIFY_WITH_TIMEOUT(measured, patience);
    }

    void cleanupTestCase() {
        m_silence.kill();
        m_silence.waitForFinished(patience);
    }

    void init() {
        m_recording = m_dir.filePath(QStringLiteral("murmo_recording.m4a"));
        QFile::remove(m_recording);
        m_d = std::make_unique<FakeDictation>();
        m_capture = std::make_unique<GstAudioCapture>();
        m_recorder = std::make_unique<MicrophoneRecorder>(m_d->state, *m_capture, m_recording);
        m_d->controller = m_d->controllerWith(*m_recorder, m_d->rewriter);
    }

    void cleanup() {
        m_recorder.reset();
        m_d.reset();
        m_capture.reset();
    }

    void recordsSpeechIntoAPrivateM4a_data() {
        QTest::addColumn<QString>("deviceId");
        QTest::addColumn<bool>("plantSymlink"); // else a world-readable leftover lies at the file's place
        QTest::newRow("chosen device, over a leftover") << QStringLiteral("murmuro_mic") << false;
        QTest::newRow("unknown device: default input, over a symlink")
            << QStringLiteral("unplugged_mic") << true;
    }

    void recordsSpeechIntoAPrivateM4a() {
        QFETCH(QString, deviceId);
        QFETCH(bool, plantSymlink);
        QFile victim(m_dir.filePath(QStringLiteral("victim.txt")));
        QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write(QByteArray(100000, 'X')) > 0);
        victim.close();
        QVERIFY(victim.setPermissions(victim.permissions() | QFileDevice::ReadOther));
        QVERIFY(plantSymlink ? QFile::link(victim.fileName(), m_recording) : victim.copy(m_recording));

        m_d->state.setSelectedMicrophoneID(deviceId);
        m_recorder->startRecording(*m_d->controller);
        QElapsedTimer recordingTime;
        recordingTime.start();
        QCOMPARE(m_d->state.recordingState(), RecordingState::recording);
        QProcess speaker;
        speaker.start(QStringLiteral("paplay"), {"--device=murmuro_speaker", m_speech});
        QTRY_VERIFY_WITH_TIMEOUT(m_d->state.volumeLevel() > 0.0f, patience);
        QTest::qWait(static_cast<int>(qMax<qint64>(0, 4000 - recordingTime.elapsed())));
        const double recordedSeconds = recordingTime.elapsed() / 1000.0;
        m_d->controller->stopDictation();
        QCOMPARE(m_d->state.volumeLevel(), 0.0f);
        speaker.waitForFinished(patience);

        QTRY_COMPARE_WITH_TIMEOUT(m_d->transcriber.urls, QStringList{m_recording}, patience);
        QCOMPARE(m_d->app.log, QStringList{"[AppState] Recording started"});
        QVERIFY2(qAbs(mediaSeconds(m_recording) - recordedSeconds) <= 0.3,
                 qPrintable(QStringLiteral("%1 s in the file after %2 s")
                                .arg(mediaSeconds(m_recording))
                                .arg(recordedSeconds)));
        QVERIFY(!QFileInfo(m_recording).isSymLink());
        QCOMPARE(QFileInfo(m_recording).permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                           QFileDevice::ReadUser | QFileDevice::WriteUser);
        QFile recording(m_recording);
        QVERIFY(recording.open(QIODevice::ReadOnly));
        const QByteArray contents = recording.readAll();
        // AAC in an MP4 container, with nothing left of what lay there before.
        QVERIFY(contents.mid(4, 4) == "ftyp" && contents.contains("mp4a") &&
                !contents.contains(QByteArray(64, 'X')));
        QVERIFY(victim.open(QIODevice::ReadOnly));
        QCOMPARE(victim.readAll(), QByteArray(100000, 'X'));
        QVERIFY(victim.remove());
    }

    void noInputDeviceIsLoggedAndLeavesEverythingAlone() {
        const QByteArray server = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER",
                "unix:" + QFile::encodeName(m_dir.filePath(QStringLiteral("no-such-socket"))));
        const bool noDevices = m_capture->inputDevices().isEmpty();
        if (noDevices) {
            m_recorder->startRecording(*m_d->controller);
        }
        qputenv("PULSE_SERVER", server);
        if (!noDevices) {
            QSKIP("this machine has inputs besides the sound server");
        }
        QCOMPARE(m_d->state.recordingState(), RecordingState::idle);
        QCOMPARE(m_d->app.log, QStringList{"No microphone found: the sound server lists no input device."});
    }

    void silentSourceDoesNotHangTheStop() {
        // A suspended source delivers no data at all.
        pactl({"suspend-source", "murmuro_mic", "1"});
        m_d->state.setSelectedMicrophoneID(QStringLiteral("murmuro_mic"));
        m_recorder->startRecording(*m_d->controller);
        const bool started = m_d->state.recordingState() == RecordingState::recording;
        if (started) {
            QTest::qWait(1000);
            m_d->controller->stopDictation();
            // Finished either way: the file goes on to the recogniser, or the error ends the dictation.
            QTRY_VERIFY_WITH_TIMEOUT(!m_d->transcriber.urls.isEmpty() ||
                                         m_d->state.recordingState() == RecordingState::idle,
                                     patience);
        }
        pactl({"suspend-source", "murmuro_mic", "0"});
        QVERIFY(started);
    }

    void startLeavesStandardOutputAlone() {
        // The log is standard output; redirected to a file, it must not be rewound by the capture's file
        // sink.
        QTemporaryFile log;
        QVERIFY(log.open());
        const int savedStdout = ::dup(STDOUT_FILENO);
        ::dup2(log.handle(), STDOUT_FILENO);
        [[maybe_unused]] ssize_t written = ::write(STDOUT_FILENO, "first line\n", 11);
        const bool started = m_capture->startRecording({}, m_recording, [](auto&, auto&) {}, {}) != nullptr;
        written = ::write(STDOUT_FILENO, "second\n", 7);
        ::dup2(savedStdout, STDOUT_FILENO);
        ::close(savedStdout);
        QVERIFY(started);
        QFile contents(log.fileName());
        QVERIFY(contents.open(QIODevice::ReadOnly));
        QCOMPARE(contents.readAll(), QByteArray("first line\nsecond\n"));
    }
};

QTEST_GUILESS_MAIN(GstAudioCaptureTest)
#include "tst_gstaudiocapture.moc"
