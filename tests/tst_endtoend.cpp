#include "core/Prompts.h"
#include "fakes/FakeHttpServer.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QProcess>
#include <QSettings>
#include <QTest>

namespace {

constexpr int patience = 60000;
const QString started = QStringLiteral("[AppState] Recording started");
const QString transcribed = QStringLiteral("[AppState] Transcription: ");
const QString cleanedReply = QStringLiteral("Meet me at the station, Zoë.");
const QString dispatching = QStringLiteral("[AppState] Dispatching Cmd+V...");

} // namespace

// A whole dictation through the real murmuro binary: the global hotkey pressed through XTest, speech played
// into the test desktop's virtual microphone, the chat server faked on its default address, the text pasted
// into a window of this test. It runs in a network of its own (tests/private-network.sh), so the default
// address is free for the fake and no real chat server can answer in its place.
class TestEndToEnd : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_speech;
    QProcess m_silence;
    std::unique_ptr<QProcess> m_murmuro;
    QStringList m_log;
    QLineEdit m_target;
    std::unique_ptr<FakeHttpServer> m_server;

    int logIndex(const QString& prefix) const {
        const auto found =
            std::ranges::find_if(m_log, [&](const QString& line) { return line.startsWith(prefix); });
        return found == m_log.end() ? -1 : int(found - m_log.begin());
    }

    void launchMurmuro() {
        m_murmuro = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        m_murmuro->setProcessEnvironment(environment);
        m_murmuro->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        connect(m_murmuro.get(), &QProcess::readyReadStandardOutput, this, [this] {
            while (m_murmuro->canReadLine()) {
                m_log << QString::fromUtf8(m_murmuro->readLine()).chopped(1);
            }
        });
        m_murmuro->start(QStringLiteral(MURMURO_BINARY), QStringList());
        QTRY_VERIFY_WITH_TIMEOUT(logIndex(QStringLiteral("[AppState] Speech authorization status: ")) >= 0,
                                 patience);
        // The About panel opens by itself shortly after launch and takes the focus; the dictation is meant
        // for the target, so the user clicks back into it once the panel is there.
        QTRY_VERIFY_WITH_TIMEOUT(
            QProcess::execute("xdotool", {"search", "--onlyvisible", "--name", "About Murmuro"}) == 0,
            patience);
        QTest::qWait(300);
        m_target.activateWindow();
        m_target.raise();
        QTRY_VERIFY_WITH_TIMEOUT(m_target.isActiveWindow(), patience);
    }

    /// Records one dictation of the test sentence, from the first hotkey press to the second.
    void dictate() {
        const qsizetype startsBefore = m_log.count(started);
        QCOMPARE(QProcess::execute("xdotool", {"key", "super+shift+r"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_log.count(started), startsBefore + 1, patience);
        // A person starts speaking a moment after the press; a capture's first audio can take that long.
        QTest::qWait(1000);
        QCOMPARE(QProcess::execute("paplay", {"--device=murmuro_speaker", m_speech}), 0);
        QTest::qWait(700);
        QCOMPARE(QProcess::execute("xdotool", {"key", "super+shift+r"}), 0);
    }

    void quit() {
        m_murmuro->terminate();
        QVERIFY(m_murmuro->waitForFinished(patience));
        QCOMPARE(m_murmuro->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_murmuro->exitCode(), 0);
    }

    bool recordingExists() const {
        return QFile::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") +
                             QStringLiteral("/murmo_recording.m4a"));
    }

private slots:
    void initTestCase() {
        QVERIFY2(std::ranges::all_of(QNetworkInterface::allAddresses(), &QHostAddress::isLoopback),
                 "run through tests/private-network.sh: this test must not share the machine's network");
        QVERIFY2(!qEnvironmentVariableIsEmpty("PULSE_SERVER"), "run inside scripts/with-test-desktop.sh");
        m_speech = m_dir.filePath(QStringLiteral("speech.wav"));
        QCOMPARE(QProcess::execute("espeak-ng",
                                   {"-s", "140", "-w", m_speech, "Please meet me at the station at seven."}),
                 0);
        // An idle null sink hands its monitor audio on in bursts; a steady stream keeps the microphone
        // flowing.
        m_silence.setStandardInputFile(QStringLiteral("/dev/zero"));
        m_silence.start(QStringLiteral("pacat"),
                        {"--playback", "--device=murmuro_speaker", "--latency-msec=20"});
        const auto sinkRunning = [] {
            QProcess pactl;
            pactl.start("pactl", {"list", "short", "sinks"});
            return pactl.waitForFinished(patience) && pactl.readAllStandardOutput().contains("RUNNING");
        };
        QTRY_VERIFY_WITH_TIMEOUT(sinkRunning(), patience);
    }

    void versionNeedsNoDisplay() {
        QProcess version;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        version.setProcessEnvironment(environment);
        version.start(QStringLiteral(MURMURO_BINARY), {"--version"});
        QVERIFY(version.waitForFinished(patience));
        QCOMPARE(version.readAllStandardOutput(), QByteArray("Murmuro 1.0\n"));
        QCOMPARE(version.exitCode(), 0);
    }

    // Two dictations in one run: the first is rewritten and pasted; with the chat server gone, the second
    // delivers nothing and leaves the program ready for the next.
    void dictationsThroughTheProgram() {
        m_server = std::make_unique<FakeHttpServer>(11434);
        m_server->response = FakeHttpServer::reply(
            "200 OK",
            R"({"message":{"role":"assistant","content":"  **Meet** me at the station, Zoë.\n"},"done":true})");
        m_target.show();
        QSettings(m_dir.filePath(QStringLiteral("config/Murmuro/Murmuro.conf")), QSettings::IniFormat)
            .setValue(QStringLiteral("bannedWords"), QStringLiteral("verily"));
        launchMurmuro();
        dictate();
        QTRY_VERIFY2_WITH_TIMEOUT(m_target.text() == cleanedReply, qPrintable(m_log.join(u'\n')), patience);
        QCOMPARE(QApplication::clipboard()->text(), cleanedReply);
        // The model was asked for as the recording started, before the rewrite.
        QCOMPARE(m_server->requests.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(m_server->requests[0].body)["messages"].toArray().size(), 0);
        const QJsonArray messages =
            QJsonDocument::fromJson(m_server->requests[1].body).object().value("messages").toArray();
        QCOMPARE(messages[0]["content"].toString(),
                 composeSystemPrompt(DictationMode::smart, true, "verily"));
        QCOMPARE(transcribed + messages[1]["content"].toString(), m_log.value(logIndex(transcribed)));
        int previous = -1;
        for (const QString& prefix :
             {started, transcribed, QStringLiteral("[AppState] Ollama processing complete."),
              QStringLiteral("[AppState] Activating "), dispatching}) {
            QVERIFY2(logIndex(prefix) > previous,
                     qPrintable(prefix + " out of order in:\n" + m_log.join('\n')));
            previous = logIndex(prefix);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!recordingExists(), patience);

        m_server.reset();
        m_target.clear();
        QApplication::clipboard()->setText(QStringLiteral("before"));
        m_log.clear();
        dictate();
        QTRY_VERIFY_WITH_TIMEOUT(logIndex(transcribed) >= 0, patience);
        QTRY_VERIFY_WITH_TIMEOUT(!recordingExists(), patience);
        QTest::qWait(1000);
        QCOMPARE(m_target.text(), QString());
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
        QCOMPARE(logIndex(dispatching), -1);
        // The transcript of the failed rewrite waits in the history.
        QFile history(m_dir.filePath(QStringLiteral("data/Murmuro/history.jsonl")));
        QVERIFY(history.open(QIODevice::ReadOnly));
        const QList<QByteArray> kept = history.readAll().trimmed().split('\n');
        QCOMPARE(kept.size(), 2);
        QVERIFY(
            kept[1].contains("\"failure\":\"The chat server at http://127.0.0.1:11434 did not answer.\""));
        QCOMPARE(QProcess::execute("xdotool", {"key", "super+shift+r"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_log.count(started), 2, patience);
        // The command line reaches the instance under X11 too; starting while recording changes nothing.
        QCOMPARE(QProcess::execute(QStringLiteral(MURMURO_BINARY), {"--start"}), 0);
        QCOMPARE(m_log.count(started), 2);
        quit();
    }

    // Whisper with one of whisper.cpp's test models, which decodes at the real cost but knows no words: the
    // dictation ends with an empty transcript, nothing is pasted, and nothing fails.
    void whisperDictationThroughTheProgram() {
        const QString model = QStringLiteral(WHISPER_TEST_MODELS "/for-tests-ggml-tiny.en.bin");
        QSettings settings(m_dir.filePath(QStringLiteral("config/Murmuro/Murmuro.conf")),
                           QSettings::IniFormat);
        settings.setValue(QStringLiteral("speechEngine"), QStringLiteral("whisper"));
        settings.setValue(QStringLiteral("whisperModel"), model);
        settings.sync();
        m_log.clear();
        m_target.clear();
        QApplication::clipboard()->setText(QStringLiteral("before"));
        launchMurmuro();
        QVERIFY2(m_log.contains("Speech recognition: Whisper, model " + model),
                 qPrintable(m_log.join(u'\n')));
        dictate();
        QTRY_VERIFY_WITH_TIMEOUT(!recordingExists(), patience);
        QTest::qWait(1000);
        qWarning().noquote() << m_log.join(u'\n');
        QCOMPARE(logIndex(QStringLiteral("Speech recognition failed")), -1);
        QCOMPARE(m_target.text(), QString());
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
        quit();
    }
};

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
