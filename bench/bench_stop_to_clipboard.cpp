// The program's own share of the wait after a dictation: the time from stopping a 10 s recording to the
// rewritten text on the clipboard, less the time spent inside the recogniser and the chat exchange. Wires
// the same stages as the program, on the platform's real services: GStreamer capture of the test desktop's
// virtual microphone, pocketsphinx, a chat server faked on 127.0.0.1, the X11 clipboard (no auto-paste).
//
//     scripts/with-test-desktop.sh build-bench/bench/bench_stop_to_clipboard [rounds, default 5]
//
// Needs espeak-ng, sox and paplay, and a steady stream into the virtual microphone (bench/run.sh plays one).

#include "audio/MicrophoneRecorder.h"
#include "core/AppState.h"
#include "core/SessionController.h"
#include "fakes/FakeHttpServer.h"
#include "history/DictationHistory.h"
#include "llm/ChatClient.h"
#include "log/Log.h"
#include "output/PasteDeliverer.h"
#include "overlay/OverlayWindowController.h"
#include "platform/PlatformServices.h"
#include "speech/SpeechTranscriber.h"
#include "speech/pocketsphinx/PocketsphinxRecognition.h"

#include <QApplication>
#include <QClipboard>
#include <QEventLoop>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

namespace {

using SteadyTime = std::chrono::steady_clock;

double millisecondsSince(SteadyTime::time_point start) {
    return std::chrono::duration<double, std::milli>(SteadyTime::now() - start).count();
}

const QByteArray chatReply = R"({"model":"gpt-oss:120b-cloud","created_at":"2026-01-01T00:00:00Z",)"
                             R"("message":{"role":"assistant","content":"Meet me at the station at seven."},)"
                             R"("done":true,"done_reason":"stop","total_duration":1,"eval_count":9})";
const QString deliveredText = QStringLiteral("Meet me at the station at seven.");

[[noreturn]] void fail(const QString& what) {
    std::fprintf(stderr, "bench_stop_to_clipboard: %s\n", qPrintable(what));
    std::exit(1);
}

void run(const QString& program, const QStringList& arguments) {
    if (QProcess::execute(program, arguments) != 0) {
        fail(program + QStringLiteral(" failed"));
    }
}

// Ten seconds of speech: a paragraph read by espeak-ng, padded or cut to exactly 10 s.
QString tenSecondsOfSpeech(const QTemporaryDir& dir) {
    const QString spoken = dir.filePath(QStringLiteral("spoken.wav"));
    const QString lengthened = dir.filePath(QStringLiteral("lengthened.wav"));
    const QString padded = dir.filePath(QStringLiteral("speech.wav"));
    run(QStringLiteral("espeak-ng"),
        {QStringLiteral("-w"), spoken,
         QStringLiteral("Please meet me at the station at seven tonight. I will bring the tickets and the "
                        "map, and we can walk to the hotel together before dinner.")});
    // In two steps: trimming in the same run as padding stops before the padding and makes sox warn.
    run(QStringLiteral("sox"),
        {spoken, lengthened, QStringLiteral("pad"), QStringLiteral("0"), QStringLiteral("10")});
    run(QStringLiteral("sox"),
        {lengthened, padded, QStringLiteral("trim"), QStringLiteral("0"), QStringLiteral("10")});
    return padded;
}

class TimedTranscriber : public Transcriber {
public:
    explicit TimedTranscriber(Transcriber& inner)
        : m_inner(inner) {}

    void transcribeAudio(const QString& url, TextResultHandler done) override {
        const SteadyTime::time_point start = SteadyTime::now();
        m_inner.transcribeAudio(url, [this, start, done](const TextResult& result) {
            spentMs = millisecondsSince(start);
            done(result);
        });
    }

    double spentMs = 0;

private:
    Transcriber& m_inner;
};

class TimedRewriter : public TranscriptRewriter {
public:
    explicit TimedRewriter(TranscriptRewriter& inner)
        : m_inner(inner) {}

    void rewriteTranscript(const QString& transcript, const QString& systemPrompt, const QString& host,
                           const QString& model, TextResultHandler done) override {
        const SteadyTime::time_point start = SteadyTime::now();
        m_inner.rewriteTranscript(transcript, systemPrompt, host, model,
                                  [this, start, done](const TextResult& result) {
                                      spentMs = millisecondsSince(start);
                                      done(result);
                                  });
    }
    void loadModel(const QString& host, const QString& model) override { m_inner.loadModel(host, model); }

    double spentMs = 0;

private:
    TranscriptRewriter& m_inner;
};

void waitUntil(const std::function<bool()>& condition, const QString& what) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition()) {
            loop.quit();
        }
    });
    poll.start(1);
    QTimer::singleShot(60000, &loop, [&] { fail(QStringLiteral("timed out waiting for ") + what); });
    loop.exec();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 5;
    setLogSink([](const QString&) {});

    QTemporaryDir dir;
    const QString speech = tenSecondsOfSpeech(dir);
    FakeHttpServer server;
    server.response = FakeHttpServer::reply("200 OK", chatReply, "Content-Type: application/json\r\n");

    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    AppState state(settings, QStringLiteral("en_US"),
                   [](AppState& owner) { return std::make_unique<OverlayWindowController>(owner); });
    state.setAutoPaste(false);
    state.setOllamaHost(server.address());

    PlatformServices platform = createPlatformServices();
    ChatClient chat;
    TimedRewriter rewriter(chat);
    MicrophoneRecorder recorder(state, *platform.audioCapture, dir.filePath(QStringLiteral("recording.m4a")));
    std::unique_ptr<SpeechRecognition> recognition = std::make_unique<PocketsphinxRecognition>();
    SpeechTranscriber speechTranscriber(state, *recognition);
    TimedTranscriber transcriber(speechTranscriber);
    PasteDeliverer deliverer(state,
                             {*platform.pasteboard, *platform.systemSound, *platform.accessibilityTrust,
                              *platform.keyboardEvents, *platform.notifications});
    DictationHistory history(dir.filePath(QStringLiteral("history.jsonl")));
    SessionController controller(state, *platform.clock, *platform.microphonePermission, *platform.workspace,
                                 {recorder, transcriber, rewriter, deliverer},
                                 {history, *platform.notifications});

    SteadyTime::time_point delivered;
    QObject::connect(QApplication::clipboard(), &QClipboard::dataChanged, &app, [&delivered] {
        if (QApplication::clipboard()->text() == deliveredText) {
            delivered = SteadyTime::now();
        }
    });

    std::vector<double> own, recogniser, exchange;
    for (int round = 0; round < rounds; ++round) {
        QApplication::clipboard()->clear();
        delivered = {};
        controller.startDictation();
        waitUntil([&] { return state.recordingState() == RecordingState::recording; },
                  QStringLiteral("the recording to start"));
        // Played while the event loop runs, as the program's would during a dictation.
        QProcess player;
        player.start(QStringLiteral("paplay"), {QStringLiteral("--device=murmuro_speaker"), speech});
        waitUntil([&] { return player.state() == QProcess::NotRunning; },
                  QStringLiteral("the speech to end"));
        if (player.exitStatus() != QProcess::NormalExit || player.exitCode() != 0) {
            fail(QStringLiteral("paplay failed"));
        }

        const SteadyTime::time_point stopped = SteadyTime::now();
        controller.stopDictation();
        waitUntil(
            [&] {
                return delivered != SteadyTime::time_point{} &&
                       state.recordingState() == RecordingState::idle;
            },
            QStringLiteral("the text on the clipboard"));
        const double total = std::chrono::duration<double, std::milli>(delivered - stopped).count();
        own.push_back(total - transcriber.spentMs - rewriter.spentMs);
        recogniser.push_back(transcriber.spentMs);
        exchange.push_back(rewriter.spentMs);
        std::fprintf(stderr, "round %d: %.1f ms in all, %.1f ms recogniser, %.1f ms chat, %.1f ms own\n",
                     round + 1, total, transcriber.spentMs, rewriter.spentMs, own.back());
    }
    std::printf("stop_to_clipboard_own_ms %.1f\n", median(own));
    std::printf("stop_to_clipboard_recogniser_ms %.0f\n", median(recogniser));
    std::printf("stop_to_clipboard_chat_ms %.1f\n", median(exchange));
    return 0;
}
