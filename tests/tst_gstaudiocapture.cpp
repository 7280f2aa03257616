#include "audio/MicrophoneRecorder.h"
#include "core/AppState.h"
#include "log/Log.h"
#include "core/SessionController.h"
#include "fakes/NullStages.h"
#include "fakes/OverlayStateSpy.h"
#include "platform/linux/GrantedMicrophonePermission.h"
#include "platform/linux/GstAudioCapture.h"
#include "platform/null/NullPlatform.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <gst/pbutils/pbutils.h>
#include <unistd.h>

// Records from the virtual microphone of the test desktop's private PulseAudio server, into which the tests
// play speech.

namespace {

constexpr int patience = 30000;

const QFileDevice::Permissions ownerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;

struct MediaFacts {
    bool readable = false;
    double seconds = 0;
    QString audioCaps;
};

MediaFacts inspectMedia(const QString& path) {
    MediaFacts facts;
    g_autoptr(GstDiscoverer) discoverer = gst_discoverer_new(20 * GST_SECOND, nullptr);
    g_autofree gchar* uri = gst_filename_to_uri(QFile::encodeName(path).constData(), nullptr);
    g_autoptr(GstDiscovererInfo) info = gst_discoverer_discover_uri(discoverer, uri, nullptr);
    if (!info || gst_discoverer_info_get_result(info) != GST_DISCOVERER_OK) {
        return facts;
    }
    facts.readable = true;
    facts.seconds = static_cast<double>(gst_discoverer_info_get_duration(info)) / GST_SECOND;
    GList* streams = gst_discoverer_info_get_audio_streams(info);
    if (streams) {
        g_autoptr(GstCaps) caps =
            gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(streams->data));
        g_autofree gchar* text = gst_caps_to_string(caps);
        facts.audioCaps = QString::fromUtf8(text);
    }
    gst_discoverer_stream_info_list_free(streams);
    return facts;
}

QString pactl(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    process.waitForFinished(patience);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

/// Stands in for the recogniser and keeps the file for the test to look at: it never answers.
struct FileCatcher : Transcriber {
    void transcribeAudio(const QString& file, TextResultHandler) override { url = file; }
    QString url;
};

} // namespace

class GstAudioCaptureTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void recordsSpeechIntoAPrivateM4a_data();
    void recordsSpeechIntoAPrivateM4a();
    void deviceListFollowsTheSoundServer();
    void noInputDeviceLeavesEverythingAlone();
    void silentSourceDoesNotHangTheStop();
    void startLeavesStandardOutputAlone();

private:
    void playSpeech();
    /// Each input device as "id=display name".
    QString devices() const;

    QTemporaryDir m_dir;
    QString m_speech;
    QString m_recording;
    QProcess m_silence;
    QProcess m_speaker;
    QStringList m_events;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<GstAudioCapture> m_capture;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<MicrophoneRecorder> m_recorder;
    SteadyClock m_clock;
    GrantedMicrophonePermission m_permission;
    NullWorkspace m_workspace;
    FileCatcher m_transcriber;
    NullTranscriptRewriter m_rewriter;
    NullTextDeliverer m_deliverer;
    std::unique_ptr<SessionController> m_controller;
};

void GstAudioCaptureTest::initTestCase() {
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        QSKIP("needs the private PulseAudio server of scripts/with-test-desktop.sh");
    }
    m_speech = m_dir.filePath(QStringLiteral("speech.wav"));
    QCOMPARE(
        QProcess::execute(QStringLiteral("espeak-ng"),
                          {"-w", m_speech, "Hello, this is a test of the dictation recorder. One two three"}),
        0);

    // An idle null sink hands its monitor audio in bursts of about two seconds; a steady low-latency stream
    // into it keeps the virtual microphone flowing in small pieces.
    m_silence.setStandardInputFile(QStringLiteral("/dev/zero"));
    m_silence.start(QStringLiteral("pacat"), {"--playback", "--device=murmuro_speaker", "--latency-msec=20"});
    QVERIFY(m_silence.waitForStarted(patience));
    QTRY_VERIFY_WITH_TIMEOUT(pactl({"list", "short", "sinks"}).contains(QStringLiteral("RUNNING")), patience);
    // The first capture after that waits a while for its first data; later ones do not.
    GstAudioCapture capture;
    std::unique_ptr<CaptureSession> warmUp =
        capture.startRecording(QString(), m_dir.filePath(QStringLiteral("warm-up.m4a")),
                               [](const QString&, const std::optional<QString>&) {});
    QVERIFY(warmUp);
    QTRY_VERIFY_WITH_TIMEOUT(!warmUp->fileOutput()->channelPowerLevels().isEmpty(), patience);
}

void GstAudioCaptureTest::cleanupTestCase() {
    m_silence.kill();
    m_silence.waitForFinished(patience);
}

void GstAudioCaptureTest::init() {
    m_events.clear();
    m_transcriber = FileCatcher();
    m_recording = m_dir.filePath(QStringLiteral("murmo_recording.m4a"));
    QFile::remove(m_recording);
    m_settings =
        std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    m_capture = std::make_unique<GstAudioCapture>();
    m_state = std::make_unique<AppState>(*m_settings, QStringLiteral("en_US"), [this](AppState&) {
        return std::make_unique<OverlayStateSpy>(m_events);
    });
    m_recorder = std::make_unique<MicrophoneRecorder>(*m_state, *m_capture, m_recording);
    m_controller = std::make_unique<SessionController>(
        *m_state, m_clock, m_permission, m_workspace,
        SessionController::Stages{*m_recorder, m_transcriber, m_rewriter, m_deliverer});
    setLogSink([this](const QString& line) { m_events.append(QStringLiteral("log ") + line); });
}

void GstAudioCaptureTest::cleanup() {
    setLogSink({});
    m_speaker.kill();
    m_speaker.waitForFinished(patience);
    m_controller.reset();
    m_state.reset();
    m_recorder.reset();
    m_capture.reset();
}

void GstAudioCaptureTest::playSpeech() {
    m_speaker.start(QStringLiteral("paplay"), {"--device=murmuro_speaker", m_speech});
    QVERIFY(m_speaker.waitForStarted(patience));
}

QString GstAudioCaptureTest::devices() const {
    QStringList ids;
    for (const AudioInputDevice& device : m_capture->inputDevices()) {
        ids << device.uniqueId + QLatin1Char('=') + device.displayName;
    }
    return ids.join(QLatin1Char(' '));
}

void GstAudioCaptureTest::recordsSpeechIntoAPrivateM4a_data() {
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<bool>("plantSymlink"); // else a world-readable leftover lies at the file's place
    QTest::newRow("chosen device, over a leftover") << QStringLiteral("murmuro_mic") << false;
    QTest::newRow("unknown device: default input, over a symlink")
        << QStringLiteral("unplugged_usb_mic") << true;
}

void GstAudioCaptureTest::recordsSpeechIntoAPrivateM4a() {
    QFETCH(QString, deviceId);
    QFETCH(bool, plantSymlink);
    QFile victim(m_dir.filePath(QStringLiteral("victim.txt")));
    QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write(QByteArray(100000, 'X')) > 0);
    victim.close();
    QVERIFY(victim.setPermissions(victim.permissions() | QFileDevice::ReadOther));
    QVERIFY(plantSymlink ? QFile::link(victim.fileName(), m_recording) : victim.copy(m_recording));

    m_state->setSelectedMicrophoneID(deviceId);
    m_recorder->startRecording(*m_controller);
    QElapsedTimer recordingTime;
    recordingTime.start();
    QCOMPARE(m_state->recordingState(), RecordingState::recording);
    playSpeech();
    QTRY_VERIFY_WITH_TIMEOUT(m_state->volumeLevel() > 0.0f, patience);
    QTest::qWait(static_cast<int>(qMax<qint64>(0, 4000 - recordingTime.elapsed())));
    const double recordedSeconds = recordingTime.elapsed() / 1000.0;
    m_controller->stopDictation();
    QCOMPARE(m_state->volumeLevel(), 0.0f);

    QTRY_COMPARE_WITH_TIMEOUT(m_transcriber.url, m_recording, patience);
    const MediaFacts facts = inspectMedia(m_recording);
    QVERIFY2(qAbs(facts.seconds - recordedSeconds) <= 0.3,
             qPrintable(QStringLiteral("%1 s in the file after %2 s of recording")
                            .arg(facts.seconds)
                            .arg(recordedSeconds)));
    QVERIFY2(facts.audioCaps.startsWith(QStringLiteral("audio/mpeg, mpegversion=(int)4")),
             qPrintable(facts.audioCaps));
    QVERIFY(!QFileInfo(m_recording).isSymLink());
    QCOMPARE(QFileInfo(m_recording).permissions(), ownerOnly);
    QFile recording(m_recording);
    QVERIFY(recording.open(QIODevice::ReadOnly));
    QVERIFY(!recording.readAll().contains(QByteArray(64, 'X')));
    QVERIFY(victim.open(QIODevice::ReadOnly));
    QCOMPARE(victim.readAll(), QByteArray(100000, 'X'));
    QVERIFY(victim.remove());
    QCOMPARE(m_events,
             (QStringList{"overlay recording", "log [AppState] Recording started", "overlay processing"}));
}

void GstAudioCaptureTest::deviceListFollowsTheSoundServer() {
    // Monitor sources of output devices are not microphones.
    QVERIFY2(devices().contains(QStringLiteral("murmuro_mic=Murmuro_Microphone")), qPrintable(devices()));
    QVERIFY2(!devices().contains(QStringLiteral("murmuro_speaker.monitor")), qPrintable(devices()));

    int changes = 0;
    m_capture->setDevicesChangedHandler([&changes] { ++changes; });
    QTest::qWait(500);
    changes = 0;
    const QString module = pactl({"load-module", "module-remap-source", "master=murmuro_speaker.monitor",
                                  "source_name=murmuro_second_mic"});
    QVERIFY(!module.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(changes > 0, patience);
    QVERIFY2(devices().contains(QStringLiteral("murmuro_second_mic=")), qPrintable(devices()));
    changes = 0;
    pactl({"unload-module", module});
    QTRY_VERIFY_WITH_TIMEOUT(changes > 0, patience);
}

void GstAudioCaptureTest::noInputDeviceLeavesEverythingAlone() {
    const QByteArray server = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(m_dir.filePath(QStringLiteral("no-such-socket"))));
    const bool noDevices = m_capture->inputDevices().isEmpty();
    if (noDevices) {
        m_recorder->startRecording(*m_controller);
    }
    qputenv("PULSE_SERVER", server);
    if (!noDevices) {
        QSKIP("this machine has inputs besides the sound server");
    }
    QCOMPARE(m_state->recordingState(), RecordingState::idle);
    QVERIFY(!m_state->captureSession);
    QVERIFY(!m_state->volumeTimer);
    QCOMPARE(m_events, QStringList());
    QTest::qWait(200);
    QVERIFY(m_transcriber.url.isEmpty());
}

void GstAudioCaptureTest::silentSourceDoesNotHangTheStop() {
    // A suspended source delivers no data at all.
    pactl({"suspend-source", "murmuro_mic", "1"});
    m_state->setSelectedMicrophoneID(QStringLiteral("murmuro_mic"));
    m_recorder->startRecording(*m_controller);
    const bool started = m_state->recordingState() == RecordingState::recording;
    if (started) {
        QTest::qWait(1000);
        m_controller->stopDictation();
        // Finished either way: the file goes on to the recogniser, or the error ends the dictation.
        QTRY_VERIFY_WITH_TIMEOUT(
            !m_transcriber.url.isEmpty() || m_state->recordingState() == RecordingState::idle, patience);
    }
    pactl({"suspend-source", "murmuro_mic", "0"});
    QVERIFY(started);
}

void GstAudioCaptureTest::startLeavesStandardOutputAlone() {
    // The log is standard output; redirected to a file, it must not be rewound by the capture's file sink.
    QTemporaryFile log;
    QVERIFY(log.open());
    const int savedStdout = ::dup(STDOUT_FILENO);
    ::dup2(log.handle(), STDOUT_FILENO);
    [[maybe_unused]] ssize_t written = ::write(STDOUT_FILENO, "first line\n", 11);
    const bool started =
        m_capture->startRecording(QString(), m_recording,
                                  [](const QString&, const std::optional<QString>&) {}) != nullptr;
    written = ::write(STDOUT_FILENO, "second\n", 7);
    ::dup2(savedStdout, STDOUT_FILENO);
    ::close(savedStdout);
    QVERIFY(started);
    QFile contents(log.fileName());
    QVERIFY(contents.open(QIODevice::ReadOnly));
    QCOMPARE(contents.readAll(), QByteArray("first line\nsecond\n"));
}

QTEST_GUILESS_MAIN(GstAudioCaptureTest)
#include "tst_gstaudiocapture.moc"
