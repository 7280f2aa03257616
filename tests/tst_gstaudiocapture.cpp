#include "audio/MicrophoneRecorder.h"
#include "core/AppState.h"
#include "core/Log.h"
#include "fakes/NullStages.h"
#include "core/SessionController.h"
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
#include <QTest>

#include <gst/pbutils/pbutils.h>

// Records from the virtual microphone of the test desktop's private PulseAudio server, into which the tests
// play speech.

namespace {

constexpr int patience = 30000;

struct MediaFacts {
    bool readable = false;
    double seconds = 0;
    QString audioCaps;
};

MediaFacts inspectMedia(const QString& path) {
    MediaFacts facts;
    GError* error = nullptr;
    GstDiscoverer* discoverer = gst_discoverer_new(20 * GST_SECOND, &error);
    gchar* uri = gst_filename_to_uri(QFile::encodeName(path).constData(), nullptr);
    GstDiscovererInfo* info =
        discoverer && uri ? gst_discoverer_discover_uri(discoverer, uri, &error) : nullptr;
    if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
        facts.readable = true;
        facts.seconds = static_cast<double>(gst_discoverer_info_get_duration(info)) / GST_SECOND;
        GList* streams = gst_discoverer_info_get_audio_streams(info);
        if (streams) {
            GstCaps* caps = gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(streams->data));
            gchar* text = gst_caps_to_string(caps);
            facts.audioCaps = QString::fromUtf8(text);
            g_free(text);
            gst_caps_unref(caps);
        }
        gst_discoverer_stream_info_list_free(streams);
    }
    g_clear_error(&error);
    g_free(uri);
    if (info) {
        g_object_unref(info);
    }
    if (discoverer) {
        g_object_unref(discoverer);
    }
    return facts;
}

QString pactl(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("pactl"), arguments);
    process.waitForFinished(patience);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

/// Stands in for the recogniser: looks at the file at the moment it is handed over.
struct TranscriberSpy : Transcriber {
    void transcribeAudio(const QString& url, TextResultHandler done) override {
        ++calls;
        facts = inspectMedia(url);
        permissions = QFileInfo(url).permissions();
        done(std::nullopt);
    }
    int calls = 0;
    MediaFacts facts;
    QFileDevice::Permissions permissions;
};

struct DelegateSpy : RecordingDelegate {
    void recordingDidFinish(const QString&, const std::optional<QString>& error) override {
        ++calls;
        lastError = error;
    }
    int calls = 0;
    std::optional<QString> lastError;
};

const QFileDevice::Permissions ownerOnly =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;

} // namespace

class GstAudioCaptureTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void dictationRecordsSpeechIntoAPlayableM4a();
    void deviceListNamesTheVirtualMicrophone();
    void devicesChangedHandlerHearsAddAndRemove();
    void unknownDeviceRecordsFromTheDefaultInput();
    void leftoverFileIsReplaced();
    void plantedSymlinkIsNotFollowed();
    void noInputDeviceLeavesEverythingAlone();
    void silentSourceDoesNotHangTheStop();

private:
    void playSpeech();
    /// Records for about this long through the recorder alone and waits for the finish report.
    void recordBriefly(int milliseconds);

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
    DelegateSpy m_delegate;
};

void GstAudioCaptureTest::initTestCase() {
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        QSKIP("needs the private PulseAudio server of scripts/with-test-desktop.sh");
    }
    QVERIFY(m_dir.isValid());
    m_speech = m_dir.filePath(QStringLiteral("speech.wav"));
    QCOMPARE(
        QProcess::execute(QStringLiteral("espeak-ng"),
                          {QStringLiteral("-w"), m_speech,
                           QStringLiteral("Hello, this is a test of the dictation recorder. One two three "
                                          "four five.")}),
        0);

    // An idle null sink hands its monitor audio in bursts of about two seconds; a steady low-latency stream
    // into it keeps the virtual microphone flowing in small pieces.
    m_silence.setStandardInputFile(QStringLiteral("/dev/zero"));
    m_silence.start(QStringLiteral("pacat"),
                    {QStringLiteral("--playback"), QStringLiteral("--device=murmuro_speaker"),
                     QStringLiteral("--latency-msec=20")});
    QVERIFY(m_silence.waitForStarted(patience));
    QTRY_VERIFY_WITH_TIMEOUT(pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sinks")})
                                 .contains(QStringLiteral("RUNNING")),
                             patience);
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
    m_delegate = DelegateSpy();
    m_recording = m_dir.filePath(QStringLiteral("murmo_recording.m4a"));
    QFile::remove(m_recording);
    m_settings =
        std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    m_capture = std::make_unique<GstAudioCapture>();
    m_state = std::make_unique<AppState>(*m_settings, QStringLiteral("en_US"), [this](AppState&) {
        return std::make_unique<OverlayStateSpy>(m_events);
    });
    m_recorder = std::make_unique<MicrophoneRecorder>(*m_state, *m_capture, m_recording);
    setLogSink([this](const QString& line) { m_events.append(QStringLiteral("log ") + line); });
}

void GstAudioCaptureTest::cleanup() {
    setLogSink({});
    if (m_speaker.state() != QProcess::NotRunning) {
        m_speaker.kill();
        m_speaker.waitForFinished(patience);
    }
    m_state.reset();
    m_recorder.reset();
    m_capture.reset();
}

void GstAudioCaptureTest::playSpeech() {
    m_speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=murmuro_speaker"), m_speech});
    QVERIFY(m_speaker.waitForStarted(patience));
}

void GstAudioCaptureTest::recordBriefly(int milliseconds) {
    m_recorder->startRecording(m_delegate);
    QCOMPARE(m_state->recordingState(), RecordingState::recording);
    QTest::qWait(milliseconds);
    m_state->audioFileOutput->stopRecording();
    QTRY_COMPARE_WITH_TIMEOUT(m_delegate.calls, 1, patience);
}

void GstAudioCaptureTest::dictationRecordsSpeechIntoAPlayableM4a() {
    SteadyClock clock;
    GrantedMicrophonePermission permission;
    NullWorkspace workspace;
    TranscriberSpy transcriber;
    NullTranscriptRewriter rewriter;
    NullTextDeliverer deliverer;
    SessionController controller(*m_state, clock, permission, workspace,
                                 {*m_recorder, transcriber, rewriter, deliverer});
    QElapsedTimer recordingTime;
    connect(m_state.get(), &AppState::recordingStateChanged, this, [&recordingTime](RecordingState state) {
        if (state == RecordingState::recording) {
            recordingTime.start();
        }
    });

    controller.startDictation();
    QTRY_COMPARE_WITH_TIMEOUT(m_state->recordingState(), RecordingState::recording, patience);
    playSpeech();
    QTRY_VERIFY_WITH_TIMEOUT(m_state->volumeLevel() > 0.0f, patience);
    QTest::qWait(static_cast<int>(qMax<qint64>(0, 4000 - recordingTime.elapsed())));
    const double recordedSeconds = recordingTime.elapsed() / 1000.0;
    controller.stopDictation();
    QCOMPARE(m_state->volumeLevel(), 0.0f);

    QTRY_COMPARE_WITH_TIMEOUT(transcriber.calls, 1, patience);
    QVERIFY(transcriber.facts.readable);
    QVERIFY2(qAbs(transcriber.facts.seconds - recordedSeconds) <= 0.3,
             qPrintable(QStringLiteral("%1 s in the file after %2 s of recording")
                            .arg(transcriber.facts.seconds)
                            .arg(recordedSeconds)));
    QVERIFY2(transcriber.facts.audioCaps.startsWith(QStringLiteral("audio/mpeg, mpegversion=(int)4")),
             qPrintable(transcriber.facts.audioCaps));
    QCOMPARE(transcriber.permissions, ownerOnly);

    QTRY_COMPARE_WITH_TIMEOUT(m_state->recordingState(), RecordingState::idle, patience);
    QCOMPARE(m_state->volumeLevel(), 0.0f);
    QVERIFY(!m_state->captureSession);
    QCOMPARE(m_events, (QStringList{QStringLiteral("overlay recording"),
                                    QStringLiteral("log [AppState] Recording started"),
                                    QStringLiteral("overlay processing"), QStringLiteral("overlay hidden")}));
}

void GstAudioCaptureTest::deviceListNamesTheVirtualMicrophone() {
    const QList<AudioInputDevice> devices = m_capture->inputDevices();
    QStringList ids;
    for (const AudioInputDevice& device : devices) {
        ids.append(device.uniqueId);
        if (device.uniqueId == QStringLiteral("murmuro_mic")) {
            QCOMPARE(device.displayName, QStringLiteral("Murmuro_Microphone"));
        }
    }
    QVERIFY2(ids.contains(QStringLiteral("murmuro_mic")), qPrintable(ids.join(QLatin1Char(' '))));
    QVERIFY2(!ids.contains(QStringLiteral("murmuro_speaker.monitor")),
             qPrintable(ids.join(QLatin1Char(' '))));

    m_state->setSelectedMicrophoneID(QStringLiteral("murmuro_mic"));
    playSpeech();
    m_recorder->startRecording(m_delegate);
    QTRY_VERIFY_WITH_TIMEOUT(m_state->volumeLevel() > 0.0f, patience);
}

void GstAudioCaptureTest::devicesChangedHandlerHearsAddAndRemove() {
    int changes = 0;
    m_capture->setDevicesChangedHandler([&changes] { ++changes; });
    QTest::qWait(500);
    changes = 0;

    const QString module = pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                                  QStringLiteral("master=murmuro_speaker.monitor"),
                                  QStringLiteral("source_name=murmuro_second_mic")});
    QVERIFY(!module.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(changes > 0, patience);
    bool listed = false;
    for (const AudioInputDevice& device : m_capture->inputDevices()) {
        listed = listed || device.uniqueId == QStringLiteral("murmuro_second_mic");
    }
    QVERIFY(listed);

    changes = 0;
    pactl({QStringLiteral("unload-module"), module});
    QTRY_VERIFY_WITH_TIMEOUT(changes > 0, patience);
}

void GstAudioCaptureTest::unknownDeviceRecordsFromTheDefaultInput() {
    m_state->setSelectedMicrophoneID(QStringLiteral("unplugged_usb_microphone"));
    playSpeech();
    m_recorder->startRecording(m_delegate);
    QCOMPARE(m_state->recordingState(), RecordingState::recording);
    QTRY_VERIFY_WITH_TIMEOUT(m_state->volumeLevel() > 0.0f, patience);
    m_state->audioFileOutput->stopRecording();
    QTRY_COMPARE_WITH_TIMEOUT(m_delegate.calls, 1, patience);
    QVERIFY(!m_delegate.lastError);
    QVERIFY(inspectMedia(m_recording).seconds > 0.0);
}

void GstAudioCaptureTest::leftoverFileIsReplaced() {
    QFile leftover(m_recording);
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.write(QByteArray(100000, 'X'));
    leftover.close();
    QVERIFY(leftover.setPermissions(leftover.permissions() | QFileDevice::ReadOther));

    recordBriefly(1000);

    QVERIFY(!m_delegate.lastError);
    QVERIFY(inspectMedia(m_recording).readable);
    QCOMPARE(QFileInfo(m_recording).permissions(), ownerOnly);
    QFile recording(m_recording);
    QVERIFY(recording.open(QIODevice::ReadOnly));
    QVERIFY(!recording.readAll().contains(QByteArray(64, 'X')));
}

void GstAudioCaptureTest::plantedSymlinkIsNotFollowed() {
    const QString victim = m_dir.filePath(QStringLiteral("victim.txt"));
    QFile victimFile(victim);
    QVERIFY(victimFile.open(QIODevice::WriteOnly));
    victimFile.write("precious");
    victimFile.close();
    QVERIFY(QFile::link(victim, m_recording));

    recordBriefly(1000);

    QVERIFY(!m_delegate.lastError);
    QVERIFY(!QFileInfo(m_recording).isSymLink());
    QVERIFY(inspectMedia(m_recording).readable);
    QVERIFY(victimFile.open(QIODevice::ReadOnly));
    QCOMPARE(victimFile.readAll(), QByteArray("precious"));
}

void GstAudioCaptureTest::noInputDeviceLeavesEverythingAlone() {
    const QByteArray server = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(m_dir.filePath(QStringLiteral("no-such-socket"))));
    const bool noDevices = m_capture->inputDevices().isEmpty();
    if (noDevices) {
        m_recorder->startRecording(m_delegate);
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
    QCOMPARE(m_delegate.calls, 0);
}

void GstAudioCaptureTest::silentSourceDoesNotHangTheStop() {
    // A suspended source delivers no data at all.
    pactl({QStringLiteral("suspend-source"), QStringLiteral("murmuro_mic"), QStringLiteral("1")});
    m_state->setSelectedMicrophoneID(QStringLiteral("murmuro_mic"));
    m_recorder->startRecording(m_delegate);
    const bool started = m_state->recordingState() == RecordingState::recording;
    if (started) {
        QTest::qWait(1000);
        m_state->audioFileOutput->stopRecording();
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate.calls, 1, patience);
    }
    pactl({QStringLiteral("suspend-source"), QStringLiteral("murmuro_mic"), QStringLiteral("0")});
    QVERIFY(started);
}

QTEST_GUILESS_MAIN(GstAudioCaptureTest)
#include "tst_gstaudiocapture.moc"
