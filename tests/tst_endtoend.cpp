#include "core/AppState.h"
#include "core/Prompts.h"
#include "fakes/FakeHttpServer.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// A whole dictation through the real murmuro binary: the global hotkey pressed through XTest, speech played
// into the test desktop's virtual microphone, the chat server faked on its default address, the text pasted
// into a window of this test.
class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void dictationIsRewrittenAndPasted();
    void serverDownDeliversNothing();
    void disabledFilterLeavesTheRuleOut();

private:
    void launchMurmuro();
    void pressHotkey();
    /// Records one dictation of the test sentence, from the first hotkey press to the second.
    void dictate();
    bool logHas(const QString& line) const { return m_log.contains(line); }
    int logIndex(const QString& prefix) const;
    QString recordingFile() const;

    QTemporaryDir m_dir;
    QString m_speech;
    QProcess m_silence;
    std::unique_ptr<QProcess> m_murmuro;
    QStringList m_log;
    std::unique_ptr<QLineEdit> m_target;
    std::unique_ptr<FakeHttpServer> m_server;
};

namespace {

bool sinkIsRunning() {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"),
                {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sinks")});
    pactl.waitForFinished();
    return pactl.readAllStandardOutput().contains("RUNNING");
}

bool aboutPanelIsShown() {
    return QProcess::execute(QStringLiteral("xdotool"),
                             {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                              QStringLiteral("--name"), QStringLiteral("About Murmuro")}) == 0;
}

constexpr int patience = 60000;
const QByteArray reply = R"({"model":"gpt-oss:120b-cloud","created_at":"2026-01-01T00:00:00Z",)"
                         R"("message":{"role":"assistant","content":"  **Meet** me at the station, Zoë.\n"},)"
                         R"("done":true,"done_reason":"stop","total_duration":1,"eval_count":9})";
const QString cleanedReply = QStringLiteral("Meet me at the station, Zoë.");

} // namespace

void TestEndToEnd::initTestCase() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        QSKIP("needs the test desktop: run inside scripts/with-test-desktop.sh");
    }
    m_speech = m_dir.filePath(QStringLiteral("speech.wav"));
    QCOMPARE(QProcess::execute(QStringLiteral("espeak-ng"),
                               {QStringLiteral("-s"), QStringLiteral("140"), QStringLiteral("-w"), m_speech,
                                QStringLiteral("Please meet me at the station at seven tonight.")}),
             0);
    // An idle null sink hands its monitor audio on in bursts; a steady stream keeps the microphone flowing.
    m_silence.setStandardInputFile(QStringLiteral("/dev/zero"));
    m_silence.start(QStringLiteral("pacat"),
                    {QStringLiteral("--playback"), QStringLiteral("--device=murmuro_speaker"),
                     QStringLiteral("--latency-msec=20")});
    QVERIFY(m_silence.waitForStarted(patience));
    QTRY_VERIFY_WITH_TIMEOUT(sinkIsRunning(), patience);
}

void TestEndToEnd::init() {
    QDir(m_dir.filePath(QStringLiteral("config"))).removeRecursively();
    m_log.clear();
    m_server = std::make_unique<FakeHttpServer>(11434);
    m_server->setResponse(FakeHttpServer::reply("200 OK", reply, "Content-Type: application/json\r\n"));
    QApplication::clipboard()->setText(QStringLiteral("before"));

    m_target = std::make_unique<QLineEdit>();
    m_target->setWindowTitle(QStringLiteral("Dictation target"));
    m_target->resize(500, 40);
    m_target->show();
}

void TestEndToEnd::cleanup() {
    if (m_murmuro) {
        m_murmuro->terminate();
        QVERIFY(m_murmuro->waitForFinished(patience));
        QCOMPARE(m_murmuro->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_murmuro->exitCode(), 0);
        m_murmuro.reset();
    }
    m_target.reset();
    m_server.reset();
}

void TestEndToEnd::launchMurmuro() {
    m_murmuro = std::make_unique<QProcess>();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_murmuro->setProcessEnvironment(environment);
    m_murmuro->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(m_murmuro.get(), &QProcess::readyReadStandardOutput, this, [this] {
        while (m_murmuro->canReadLine()) {
            m_log << QString::fromUtf8(m_murmuro->readLine()).chopped(1);
        }
    });
    m_murmuro->start(QStringLiteral(MURMURO_BINARY), QStringList());
    QVERIFY(m_murmuro->waitForStarted(patience));
    QTRY_VERIFY_WITH_TIMEOUT(logIndex(QStringLiteral("[AppState] Speech authorization status: ")) >= 0,
                             patience);

    // The About panel opens by itself shortly after launch and takes the focus; the dictation is meant for
    // the target, so the user clicks back into it once the panel is there.
    QTRY_VERIFY_WITH_TIMEOUT(aboutPanelIsShown(), patience);
    QTest::qWait(300);
    m_target->activateWindow();
    m_target->raise();
    QTRY_VERIFY_WITH_TIMEOUT(m_target->isActiveWindow(), patience);
}

void TestEndToEnd::pressHotkey() {
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"),
                               {QStringLiteral("key"), QStringLiteral("super+shift+r")}),
             0);
}

void TestEndToEnd::dictate() {
    const int startsBefore = m_log.count(QStringLiteral("[AppState] Recording started"));
    pressHotkey();
    QTRY_COMPARE_WITH_TIMEOUT(m_log.count(QStringLiteral("[AppState] Recording started")), startsBefore + 1,
                              patience);
    // A person starts speaking a moment after the press; a capture's first audio can take that long.
    QTest::qWait(1000);
    QCOMPARE(
        QProcess::execute(QStringLiteral("paplay"), {QStringLiteral("--device=murmuro_speaker"), m_speech}),
        0);
    QTest::qWait(700);
    pressHotkey();
}

int TestEndToEnd::logIndex(const QString& prefix) const {
    for (int i = 0; i < m_log.size(); ++i) {
        if (m_log.at(i).startsWith(prefix)) {
            return i;
        }
    }
    return -1;
}

QString TestEndToEnd::recordingFile() const {
    return qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/murmo_recording.m4a");
}

void TestEndToEnd::dictationIsRewrittenAndPasted() {
    launchMurmuro();
    dictate();
    QTRY_VERIFY2_WITH_TIMEOUT(m_target->text() == cleanedReply, qPrintable(m_log.join(u'\n')), patience);
    QCOMPARE(QApplication::clipboard()->text(), cleanedReply);

    QCOMPARE(m_server->requests().size(), 1);
    const QJsonObject body = QJsonDocument::fromJson(m_server->requests().first().body).object();
    const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0][QStringLiteral("content")].toString(),
             composeSystemPrompt(AppState::Mode::smart, true, AppState::defaultBannedWords));
    const int transcribed = logIndex(QStringLiteral("[AppState] Transcription: "));
    QVERIFY(transcribed >= 0);
    QCOMPARE(QStringLiteral("[AppState] Transcription: ") + messages[1][QStringLiteral("content")].toString(),
             m_log.at(transcribed));

    const QStringList expectedOrder = {
        QStringLiteral("[AppState] Recording started"),
        QStringLiteral("[AppState] Transcription: "),
        QStringLiteral("[AppState] Ollama processing complete."),
        QStringLiteral("[AppState] Activating "),
        QStringLiteral("[AppState] Dispatching Cmd+V..."),
    };
    int previous = -1;
    for (const QString& prefix : expectedOrder) {
        const int index = logIndex(prefix);
        QVERIFY2(index > previous,
                 qPrintable(prefix + QStringLiteral(" out of order in:\n") + m_log.join('\n')));
        previous = index;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(recordingFile()), patience);
}

void TestEndToEnd::serverDownDeliversNothing() {
    m_server.reset();
    launchMurmuro();
    dictate();
    QTRY_VERIFY_WITH_TIMEOUT(logIndex(QStringLiteral("[AppState] Transcription: ")) >= 0, patience);
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(recordingFile()), patience);
    QTest::qWait(1000);
    QCOMPARE(m_target->text(), QString());
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    QVERIFY(!logHas(QStringLiteral("[AppState] Ollama processing complete.")));
    QVERIFY(!logHas(QStringLiteral("[AppState] Dispatching Cmd+V...")));

    // Back to idle: the next press starts a new recording.
    QTest::qWait(600);
    pressHotkey();
    QTRY_COMPARE_WITH_TIMEOUT(m_log.count(QStringLiteral("[AppState] Recording started")), 2, patience);
}

void TestEndToEnd::disabledFilterLeavesTheRuleOut() {
    {
        QSettings settings(m_dir.filePath(QStringLiteral("config/Murmuro/Murmuro.conf")),
                           QSettings::IniFormat);
        settings.setValue(QStringLiteral("isBannedWordsEnabled"), false);
    }
    launchMurmuro();
    dictate();
    QTRY_VERIFY2_WITH_TIMEOUT(m_target->text() == cleanedReply, qPrintable(m_log.join(u'\n')), patience);
    QCOMPARE(m_server->requests().size(), 1);
    const QJsonObject body = QJsonDocument::fromJson(m_server->requests().first().body).object();
    const QString systemPrompt =
        body.value(QStringLiteral("messages")).toArray()[0][QStringLiteral("content")].toString();
    QCOMPARE(systemPrompt, composeSystemPrompt(AppState::Mode::smart, false, QString()));
    QVERIFY(!systemPrompt.contains(QStringLiteral("CRITICAL RULE")));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
