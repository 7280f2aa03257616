#include "fakes/FakeHttpServer.h"

#include <QApplication>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int patience = 60000;
const QString cleanedReply = QStringLiteral("Meet me at the station, Zoë.");
const QString targetAppId = QStringLiteral("murmuro-e2e-target");
const QString started = QStringLiteral("[AppState] Recording started");

struct Finished {
    int exitCode; ///< -1 when it crashed or hung
    QString output, error;
};

Finished run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(patience) && process.exitStatus() == QProcess::NormalExit;
    return {finished ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

int murmuro(const QString& option) {
    return run(QStringLiteral(MURMURO_BINARY), {option}).exitCode;
}

} // namespace

// The real murmuro binary in the headless sway of scripts/with-test-wayland.sh: the command-line actions
// without an instance, two instances started at once, and a whole dictation triggered by murmuro --toggle,
// with speech played into the virtual microphone and the chat server faked on its default address, in a
// network of its own (tests/private-network.sh). The text arrives in a Wayland-native window of this test and
// wl-paste reads it back from the clipboard.
class TestWaylandEndToEnd : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_speech;
    QProcess m_silence;
    std::vector<std::unique_ptr<QProcess>> m_instances;
    QStringList m_log;

    std::unique_ptr<QProcess> launch() {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QProcess* raw = process.get();
        connect(raw, &QProcess::readyReadStandardOutput, this, [this, raw] {
            while (raw->canReadLine()) {
                m_log << QString::fromUtf8(raw->readLine()).chopped(1);
            }
        });
        process->start(QStringLiteral(MURMURO_BINARY), {});
        return process;
    }

private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("wayland") ||
            qEnvironmentVariableIsEmpty("SWAYSOCK")) {
            QSKIP("needs the headless sway of scripts/with-test-wayland.sh");
        }
        QVERIFY2(std::ranges::all_of(QNetworkInterface::allAddresses(), &QHostAddress::isLoopback),
                 "run through tests/private-network.sh: this test must not share the machine's network");
        m_speech = m_dir.filePath(QStringLiteral("speech.wav"));
        QCOMPARE(run(QStringLiteral("espeak-ng"),
                     {"-s", "140", "-w", m_speech, "Please meet me at the station at seven."})
                     .exitCode,
                 0);
        // An idle null sink hands its monitor audio on in bursts; a steady stream keeps the microphone
        // flowing.
        m_silence.setStandardInputFile(QStringLiteral("/dev/zero"));
        m_silence.start(QStringLiteral("pacat"),
                        {"--playback", "--device=murmuro_speaker", "--latency-msec=20"});
        QVERIFY(m_silence.waitForStarted(patience));
    }

    void cleanupTestCase() {
        for (const auto& instance : m_instances) {
            instance->terminate();
            QVERIFY(instance->waitForFinished(patience));
            QCOMPARE(instance->exitCode(), 0);
        }
        m_silence.kill();
        m_silence.waitForFinished();
    }

    void actionsWithoutAnInstanceFail() {
        for (const QString action : {"--toggle", "--start", "--stop"}) {
            const Finished finished = run(QStringLiteral(MURMURO_BINARY), {action});
            QCOMPARE(finished.exitCode, 1);
            QCOMPARE(finished.error,
                     QStringLiteral("Murmuro is not running: start it first, then murmuro %1 controls it.\n")
                         .arg(action));
        }
    }

    // The second start hands over to the first, which opens its Settings, and ends.
    void ofTwoStartsOneSurvives() {
        m_instances.push_back(launch());
        m_instances.push_back(launch());
        const auto ended = [this] {
            return std::ranges::find_if(
                m_instances, [](const auto& instance) { return instance->state() == QProcess::NotRunning; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(ended() != m_instances.end(), patience);
        QCOMPARE((*ended())->exitCode(), 0);
        m_instances.erase(ended());
        QTRY_VERIFY_WITH_TIMEOUT(
            m_log.filter(QStringLiteral("[AppState] Speech authorization status: ")).size() == 1, patience);
        QTest::qWait(1000);
        QCOMPARE(m_instances.front()->state(), QProcess::Running);
    }

    void toggledDictationIsPasted() {
        QVERIFY(!m_instances.empty());
        FakeHttpServer server(11434);
        server.response = FakeHttpServer::reply(
            "200 OK",
            R"({"message":{"role":"assistant","content":"Meet me at the station, Zoë."},"done":true})");
        QGuiApplication::setDesktopFileName(targetAppId);
        QLineEdit target;
        target.show();
        // The About and Settings windows that the starts opened took the focus; the user clicks back into the
        // target.
        QTest::qWait(1500);
        QCOMPARE(run(QStringLiteral("swaymsg"), {QStringLiteral("[app_id=\"%1\"] focus").arg(targetAppId)})
                     .exitCode,
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(target.hasFocus(), patience);

        QCOMPARE(murmuro(QStringLiteral("--toggle")), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_log.count(started), 1, patience);
        QTest::qWait(1000);
        QCOMPARE(run(QStringLiteral("paplay"), {"--device=murmuro_speaker", m_speech}).exitCode, 0);
        QTest::qWait(700);
        QCOMPARE(murmuro(QStringLiteral("--toggle")), 0);

        QTRY_VERIFY2_WITH_TIMEOUT(target.text() == cleanedReply, qPrintable(m_log.join(u'\n')), patience);
        QCOMPARE(run(QStringLiteral("wl-paste"), {QStringLiteral("--no-newline")}).output, cleanedReply);
        QVERIFY(m_log.contains(QStringLiteral("[AppState] Dispatching Cmd+V...")));
        QVERIFY(m_log.contains(QStringLiteral("Pasted with Ctrl+V through the virtual keyboard")));
        QVERIFY(!m_log.join(u'\n').contains(QStringLiteral("[AppState] Activating ")));
    }
};

QTEST_MAIN(TestWaylandEndToEnd)
#include "tst_waylandendtoend.moc"
