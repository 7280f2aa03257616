// Runs the real murmuro binary for many dictations in a row on the test desktop and reports, at checkpoints,
// its resident memory, open file descriptors and threads, and every dictation that did not end as expected.
// The hotkey is pressed through XTest and espeak-ng speech is played into the virtual microphone. The
// transcription server is faked on 127.0.0.1 and answers the transcript when the recording holds speech; the
// chat server is faked on its default address 127.0.0.1:11434, so run this in a network namespace of its own
// (bench/soak/run.sh, tests/private-network.sh). Every fifth dictation fails on purpose, in turn:
// chat server down, an HTML reply, silence, a hotkey press while the recording is processed.
//
//     bench_soak MURMURO [DICTATIONS [CHECKPOINT_EVERY [MEMORY_TOLERANCE]]]     defaults: 200, 50, 5 (%)
//
// Exits with 0 when every goal is met: every dictation ends as expected, the resident memory of the last
// checkpoint is within MEMORY_TOLERANCE percent of the first, and the file descriptors and threads are the
// same.

#include "fakes/FakeHttpServer.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

/// The longest any one observable step may take, however slow the machine.
constexpr int patience = 60000;
/// Murmuro drops a hotkey press that follows the last one it took within 0.5 s.
constexpr qint64 pressGapMs = 600;
constexpr quint16 chatPort = 11434;
/// How long murmuro is left alone before the figures of a checkpoint are taken.
constexpr int settleMs = 35000;

const QString transcript = QStringLiteral("Please meet me at the station at seven tonight.");
const QString started = QStringLiteral("[AppState] Recording started");
const QString transcribed = QStringLiteral("[AppState] Transcription: ");
const QString rewritten = QStringLiteral("[AppState] Ollama processing complete.");
const QString pasted = QStringLiteral("[AppState] Dispatching Cmd+V...");

enum class Kind { normal, chatServerDown, htmlReply, silence, pressDuringProcessing };

/// Every fifth dictation fails, starting with the third, so that a checkpoint after a multiple of five
/// dictations follows two ordinary ones: some failures leave a socket open until the next chat request.
Kind kindOf(int dictation) {
    static constexpr std::array failures{Kind::chatServerDown, Kind::htmlReply, Kind::silence,
                                         Kind::pressDuringProcessing};
    if (dictation % 5 != 3) {
        return Kind::normal;
    }
    return failures[static_cast<size_t>(dictation / 5) % failures.size()];
}

QString nameOf(Kind kind) {
    switch (kind) {
    case Kind::normal:
        return QStringLiteral("dictation");
    case Kind::chatServerDown:
        return QStringLiteral("chat server down");
    case Kind::htmlReply:
        return QStringLiteral("HTML reply");
    case Kind::silence:
        return QStringLiteral("silence");
    case Kind::pressDuringProcessing:
        return QStringLiteral("press during processing");
    }
    return {};
}

/// The text murmuro should deliver for a dictation that reaches the chat server: the reply, cleaned.
QString expectedText(int dictation) {
    return QStringLiteral("Dictation %1: meet me at the station, Zoë.").arg(dictation);
}

FakeHttpServer::Response chatReply(int dictation) {
    const QJsonObject message{
        {QStringLiteral("role"), QStringLiteral("assistant")},
        {QStringLiteral("content"),
         QStringLiteral("  **Dictation %1:** meet me at the station, Zoë.\n").arg(dictation)}};
    const QJsonObject body{{QStringLiteral("model"), QStringLiteral("gpt-oss:120b-cloud")},
                           {QStringLiteral("message"), message},
                           {QStringLiteral("done"), true}};
    return FakeHttpServer::reply("200 OK", QJsonDocument(body).toJson(QJsonDocument::Compact),
                                 "Content-Type: application/json\r\n");
}

const FakeHttpServer::Response htmlReply = FakeHttpServer::reply(
    "502 Bad Gateway",
    "<html><head><title>502 Bad Gateway</title></head><body><h1>502 Bad Gateway</h1></body></html>\n",
    "Content-Type: text/html\r\n");

/// Whether the WAV file in a transcription request holds speech: a tenth of a second of loud samples.
bool holdsSpeech(const QByteArray& body) {
    const qsizetype wave = body.indexOf("WAVE");
    const qsizetype data = wave < 0 ? -1 : body.indexOf("data", wave);
    if (data < 0 || data + 8 > body.size()) {
        return false;
    }
    const qsizetype end =
        std::min(body.size(), data + 8 + qFromLittleEndian<quint32>(body.constData() + data + 4));
    int loud = 0;
    for (qsizetype at = data + 8; at + 1 < end; at += 2) {
        loud += std::abs(qFromLittleEndian<qint16>(body.constData() + at)) > 2000;
    }
    return loud > 1600;
}

FakeHttpServer::Response transcription(const FakeHttpServer::Request& request) {
    const QString text = holdsSpeech(request.body) ? QStringLiteral(" %1\n").arg(transcript) : QString();
    return FakeHttpServer::reply("200 OK",
                                 QJsonDocument(QJsonObject{{QStringLiteral("text"), text}}).toJson(),
                                 "Content-Type: application/json\r\n");
}

struct Figures {
    int dictations = 0;
    qint64 residentKb = 0;
    qsizetype fileDescriptors = 0;
    qsizetype threads = 0;
};

Figures figuresOf(qint64 pid, int dictations) {
    Figures figures{dictations};
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:")) {
                figures.residentKb = line.mid(6).trimmed().split(' ').first().toLongLong();
            }
        }
    }
    const auto entries = [pid](const char* folder) {
        return QDir(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(folder)))
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
            .size();
    };
    figures.fileDescriptors = entries("fd");
    figures.threads = entries("task");
    return figures;
}

bool runToEnd(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, patience) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

/// The output of a tool, in English whatever the user's language.
QString outputOf(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    const bool ended =
        QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, patience);
    return ended ? QString::fromUtf8(process.readAllStandardOutput()) : QString();
}

class Soak {
public:
    Soak(QString murmuro, int dictations, int checkpointEvery, double memoryTolerance)
        : m_murmuroPath(std::move(murmuro))
        , m_dictations(dictations)
        , m_checkpointEvery(checkpointEvery)
        , m_memoryTolerance(memoryTolerance) {}

    /// Whether every goal was met.
    bool run();

private:
    bool prepare();
    bool launch();
    /// One dictation; what went wrong, or nothing.
    QString dictate(int dictation);
    QString checkEnding(int dictation, Kind kind, const QStringList& lines, qsizetype chatRequests);
    /// The messages of each rewrite asked of the chat server from the request with this index on.
    QList<QJsonArray> rewritesSince(qsizetype request) const;
    /// Brings the servers back and waits until murmuro is idle again.
    void recover();
    bool report();

    /// Presses the hotkey once murmuro would take a press again, and returns once the X server has passed it
    /// on.
    void pressHotkey();
    bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, patience); }
    bool captureIsRunning() const;
    bool recordingExists() const {
        return QFile::exists(m_runtimeDir + QStringLiteral("/murmo_recording.m4a"));
    }

    QString m_murmuroPath;
    int m_dictations;
    int m_checkpointEvery;
    double m_memoryTolerance;
    QTemporaryDir m_dir;
    QString m_runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString m_speech;
    QString m_silence;
    QProcess m_steadySilence;
    std::unique_ptr<FakeHttpServer> m_chat;
    FakeHttpServer m_transcription;
    QProcess m_murmuro;
    QStringList m_log;
    QLineEdit m_target;
    /// Since murmuro was last seen to have handled a press (or to have finished with the dictation).
    QElapsedTimer m_sinceHandled;
    QList<Figures> m_checkpoints;
    QStringList m_unexpected;
};

bool Soak::run() {
    if (!prepare() || !launch()) {
        return false;
    }
    for (int dictation = 1; dictation <= m_dictations; ++dictation) {
        if (const QString problem = dictate(dictation); !problem.isEmpty()) {
            m_unexpected
                << QStringLiteral("#%1 (%2): %3").arg(dictation).arg(nameOf(kindOf(dictation)), problem);
            std::printf("dictation %d did not end as expected: %s\n", dictation, qPrintable(problem));
        }
        recover();
        if (m_murmuro.state() != QProcess::Running) {
            std::printf("murmuro ended during dictation %d\n", dictation);
            return false;
        }
        if (dictation % m_checkpointEvery == 0 || dictation == m_dictations) {
            // Right after a dictation, idle threads of Qt's and GLib's pools are still there; they end after
            // 30 s and 15 s without work.
            QTest::qWait(settleMs);
            const Figures figures = figuresOf(m_murmuro.processId(), dictation);
            m_checkpoints << figures;
            std::printf("after %3d dictations: resident %.1f MB, %lld file descriptors, %lld threads, %lld "
                        "unexpected endings\n",
                        dictation, figures.residentKb / 1024.0,
                        static_cast<long long>(figures.fileDescriptors),
                        static_cast<long long>(figures.threads), static_cast<long long>(m_unexpected.size()));
            std::fflush(stdout);
        }
    }
    m_steadySilence.kill();
    m_steadySilence.waitForFinished(patience);
    m_murmuro.terminate();
    const bool quit = m_murmuro.waitForFinished(patience) && m_murmuro.exitStatus() == QProcess::NormalExit &&
                      m_murmuro.exitCode() == 0;
    if (!quit) {
        m_unexpected << QStringLiteral("murmuro did not quit cleanly on SIGTERM");
    }
    return report();
}

bool Soak::prepare() {
    m_speech = m_dir.filePath(QStringLiteral("speech.wav"));
    m_silence = m_dir.filePath(QStringLiteral("silence.wav"));
    if (!runToEnd(QStringLiteral("espeak-ng"), {QStringLiteral("-s"), QStringLiteral("140"),
                                                QStringLiteral("-w"), m_speech, transcript}) ||
        !runToEnd(QStringLiteral("sox"),
                  {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("22050"), QStringLiteral("-c"),
                   QStringLiteral("1"), m_silence, QStringLiteral("trim"), QStringLiteral("0"),
                   QStringLiteral("2.5")})) {
        std::printf("espeak-ng or sox failed\n");
        return false;
    }
    // An idle null sink hands its monitor audio on in bursts; a steady stream keeps the microphone flowing.
    m_steadySilence.setStandardInputFile(QStringLiteral("/dev/zero"));
    m_steadySilence.start(QStringLiteral("pacat"),
                          {QStringLiteral("--playback"), QStringLiteral("--device=murmuro_speaker"),
                           QStringLiteral("--latency-msec=20")});
    m_chat = std::make_unique<FakeHttpServer>(chatPort);
    m_transcription.respond = transcription;
    m_target.setWindowTitle(QStringLiteral("Dictation target"));
    m_target.resize(500, 40);
    m_target.show();
    return m_steadySilence.waitForStarted(patience);
}

bool Soak::launch() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("MURMURO_SPEECH_SERVER"), m_transcription.address());
    m_murmuro.setProcessEnvironment(environment);
    m_murmuro.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&m_murmuro, &QProcess::readyReadStandardOutput, [this] {
        while (m_murmuro.canReadLine()) {
            m_log << QString::fromUtf8(m_murmuro.readLine()).chopped(1);
        }
    });
    m_murmuro.start(m_murmuroPath, QStringList());
    // The About panel opens by itself after launch and takes the focus; the user clicks back into the target.
    const bool aboutShown = waitFor([] {
        return outputOf(QStringLiteral("xdotool"),
                        {QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")})
                   .trimmed() == QStringLiteral("About Murmuro");
    });
    m_target.activateWindow();
    if (!aboutShown || !waitFor([this] { return m_target.isActiveWindow(); })) {
        std::printf("murmuro did not start on the test desktop:\n%s\n", qPrintable(m_log.join(u'\n')));
        return false;
    }
    std::printf("murmuro (pid %lld): %d dictations, a checkpoint every %d\n",
                static_cast<long long>(m_murmuro.processId()), m_dictations, m_checkpointEvery);
    std::fflush(stdout);
    m_sinceHandled.start();
    return true;
}

QString Soak::dictate(int dictation) {
    const Kind kind = kindOf(dictation);
    const QString clipboardBefore = QStringLiteral("clipboard before dictation %1").arg(dictation);
    m_target.clear();
    QApplication::clipboard()->setText(clipboardBefore);
    if (kind == Kind::chatServerDown) {
        m_chat.reset();
    } else {
        m_chat->response = kind == Kind::htmlReply ? htmlReply : chatReply(dictation);
    }
    const qsizetype firstLine = m_log.size();
    const qsizetype chatRequests = m_chat ? m_chat->requests.size() : 0;
    const qsizetype transcriptions = m_transcription.requests.size();

    pressHotkey();
    if (!waitFor([&] { return m_log.indexOf(started, firstLine) >= 0; }) ||
        !waitFor([this] { return captureIsRunning(); })) {
        return QStringLiteral("no recording started");
    }
    m_sinceHandled.restart();
    if (!runToEnd(QStringLiteral("paplay"), {QStringLiteral("--device=murmuro_speaker"),
                                             kind == Kind::silence ? m_silence : m_speech})) {
        return QStringLiteral("paplay failed");
    }
    if (kind == Kind::pressDuringProcessing) {
        m_transcription.holding = true;
    }
    pressHotkey();
    if (!waitFor([&] { return m_transcription.requests.size() > transcriptions; })) {
        return QStringLiteral("the recording never reached the transcription server");
    }
    m_sinceHandled.restart();
    if (kind == Kind::pressDuringProcessing) {
        pressHotkey();
        m_transcription.release();
    }

    const bool delivers = kind == Kind::normal || kind == Kind::pressDuringProcessing;
    const bool ended = waitFor(
        [&] { return !recordingExists() && (!delivers || m_target.text() == expectedText(dictation)); });
    m_sinceHandled.restart();
    if (!ended) {
        return QStringLiteral("did not end: recording file %1, target \"%2\"")
            .arg(recordingExists() ? QStringLiteral("still there") : QStringLiteral("removed"),
                 m_target.text());
    }
    // Murmuro writes each line before what follows from it, so this dictation's lines are in the pipe now.
    while (m_murmuro.waitForReadyRead(0)) {
    }
    if (!delivers && (m_target.text() != QString() || QApplication::clipboard()->text() != clipboardBefore)) {
        return QStringLiteral("something was delivered");
    }
    return checkEnding(dictation, kind, m_log.mid(firstLine), chatRequests);
}

QList<QJsonArray> Soak::rewritesSince(qsizetype request) const {
    // The warm-up that a recording starts has no messages.
    QList<QJsonArray> rewrites;
    for (const FakeHttpServer::Request& sent : m_chat->requests.mid(request)) {
        const QJsonArray messages = QJsonDocument::fromJson(sent.body)[QStringLiteral("messages")].toArray();
        if (!messages.isEmpty()) {
            rewrites << messages;
        }
    }
    return rewrites;
}

QString Soak::checkEnding(int dictation, Kind kind, const QStringList& lines, qsizetype chatRequests) {
    const auto logged = [&lines](const QString& prefix) {
        return std::count_if(lines.begin(), lines.end(),
                             [&prefix](const QString& line) { return line.startsWith(prefix); });
    };
    QStringList problems;
    const auto expect = [&problems, &lines](bool holds, const char* what) {
        if (!holds) {
            problems << QString::fromLatin1(what) + QStringLiteral(" in:\n  ") +
                            lines.join(QStringLiteral("\n  "));
        }
    };
    expect(logged(started) == 1, "not exactly one recording");
    switch (kind) {
    case Kind::normal:
    case Kind::pressDuringProcessing: {
        expect(logged(transcribed + transcript) == 1 && logged(rewritten) == 1 && logged(pasted) == 1,
               "not one transcript, rewrite and paste");
        expect(QApplication::clipboard()->text() == expectedText(dictation),
               "the clipboard does not hold the text");
        const QList<QJsonArray> rewrites = rewritesSince(chatRequests);
        expect(rewrites.size() == 1 && rewrites[0].size() == 2 &&
                   rewrites[0][1][QStringLiteral("content")].toString() == transcript,
               "not one chat request with the transcript");
        break;
    }
    case Kind::chatServerDown:
        expect(logged(transcribed) == 1 && logged(QStringLiteral("Connection refused")) == 1,
               "no refused connection logged after the transcript");
        break;
    case Kind::htmlReply:
        expect(logged(transcribed) == 1 && rewritesSince(chatRequests).size() == 1,
               "the transcript did not reach the chat server");
        // The cause, the JSON parser's description of the HTML, is the only line of its kind besides the
        // notification, which the test desktop has no service to show.
        expect(std::count_if(lines.begin(), lines.end(),
                             [](const QString& line) {
                                 return !line.startsWith(QStringLiteral("[AppState] ")) &&
                                        !line.startsWith(QStringLiteral("The desktop did not take"));
                             }) == 1,
               "no cause logged");
        break;
    case Kind::silence:
        expect(logged(transcribed) == 0 && rewritesSince(chatRequests).isEmpty(), "silence was transcribed");
        break;
    }
    if (kind != Kind::normal && kind != Kind::pressDuringProcessing) {
        expect(logged(rewritten) == 0 && logged(pasted) == 0, "a failed dictation was delivered");
    }
    return problems.join(u'\n');
}

void Soak::recover() {
    m_transcription.release();
    if (!m_chat) {
        m_chat = std::make_unique<FakeHttpServer>(chatPort);
    }
    // A dictation stuck in recording is stopped; one in processing ends by itself.
    if (recordingExists() && !waitFor([this] { return !recordingExists(); })) {
        pressHotkey();
        waitFor([this] { return !recordingExists(); });
        m_sinceHandled.restart();
    }
    if (!m_target.isActiveWindow()) {
        m_target.activateWindow();
        waitFor([this] { return m_target.isActiveWindow(); });
    }
}

bool Soak::report() {
    std::printf("unexpected endings: %s\n",
                m_unexpected.isEmpty() ? "none" : qPrintable(u'\n' + m_unexpected.join(u'\n')));
    if (m_checkpoints.size() < 2) {
        return m_unexpected.isEmpty();
    }
    const Figures& first = m_checkpoints.first();
    const Figures& last = m_checkpoints.last();
    const double growth = 100.0 * (last.residentKb - first.residentKb) / first.residentKb;
    const auto goal = [](bool met, const QString& what) {
        std::printf("goal %s: %s\n", met ? "met" : "MISSED", qPrintable(what));
        return met;
    };
    bool met = goal(m_unexpected.isEmpty(), QStringLiteral("every dictation ends as expected"));
    met &= goal(std::abs(growth) <= m_memoryTolerance,
                QStringLiteral("resident memory after %1 within %6 % of after %2: %3 MB -> %4 MB, %5 %")
                    .arg(last.dictations)
                    .arg(first.dictations)
                    .arg(first.residentKb / 1024.0, 0, 'f', 1)
                    .arg(last.residentKb / 1024.0, 0, 'f', 1)
                    .arg(growth, 0, 'f', 2)
                    .arg(m_memoryTolerance));
    met &= goal(last.fileDescriptors == first.fileDescriptors,
                QStringLiteral("open file descriptors after %1 as after %2: %3 -> %4")
                    .arg(last.dictations)
                    .arg(first.dictations)
                    .arg(first.fileDescriptors)
                    .arg(last.fileDescriptors));
    met &= goal(last.threads == first.threads, QStringLiteral("threads after %1 as after %2: %3 -> %4")
                                                   .arg(last.dictations)
                                                   .arg(first.dictations)
                                                   .arg(first.threads)
                                                   .arg(last.threads));
    return met;
}

void Soak::pressHotkey() {
    const qint64 wait = pressGapMs - m_sinceHandled.elapsed();
    if (wait > 0) {
        QTest::qWait(static_cast<int>(wait));
    }
    // xdotool presses through XTest and syncs with the X server before it exits: murmuro has the press then.
    runToEnd(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("super+shift+r")});
}

bool Soak::captureIsRunning() const {
    return outputOf(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("source-outputs")})
        .contains(QStringLiteral("Corked: no"));
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 5) {
        std::fprintf(stderr,
                     "usage: bench_soak MURMURO [DICTATIONS [CHECKPOINT_EVERY [MEMORY_TOLERANCE]]]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("PULSE_SERVER")) {
        std::printf("needs the test desktop: run inside scripts/with-test-desktop.sh\n");
        return 2;
    }
    const int dictations = arguments.size() > 2 ? arguments[2].toInt() : 200;
    const int every = arguments.size() > 3 ? arguments[3].toInt() : 50;
    const double tolerance = arguments.size() > 4 ? arguments[4].toDouble() : 5.0;
    if (dictations < 1 || every < 1) {
        std::fprintf(stderr, "DICTATIONS and CHECKPOINT_EVERY are positive numbers\n");
        return 2;
    }
    Soak soak(arguments[1], dictations, every, tolerance);
    return soak.run() ? 0 : 1;
}
