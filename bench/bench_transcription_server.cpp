// Measures what the transcription server backend adds to a dictation's wait: decoding the recording into a
// WAV file and posting it, for recordings of 5 s, 30 s and 120 s, against a server on 127.0.0.1 that answers
// at once. The server's own recognition time is not part of it.
//
// Run: build/bench/bench_transcription_server   (needs gst-launch-1.0; no display, no sound, no network)

#include "fakes/FakeHttpServer.h"
#include "speech/server/TranscriptionServerRecognition.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void fail(const QString& what) {
    std::fprintf(stderr, "bench_transcription_server: %s\n", qPrintable(what));
    std::exit(1);
}

// Pink noise at the recorder's usual 48 kHz, encoded as it encodes: AAC in M4A.
QString recording(const QTemporaryDir& dir, int seconds) {
    const QString path = dir.filePath(QStringLiteral("recording-%1.m4a").arg(seconds));
    QProcess process;
    process.start(QStringLiteral("gst-launch-1.0"),
                  QStringLiteral("-q audiotestsrc wave=pink-noise samplesperbuffer=4800 num-buffers=%1 ! "
                                 "audio/x-raw,rate=48000,channels=1 ! audioconvert ! avenc_aac ! mp4mux ! "
                                 "filesink location=%2")
                      .arg(seconds * 10)
                      .arg(path)
                      .split(QLatin1Char(' ')));
    if (!process.waitForFinished(300000) || process.exitCode() != 0) {
        fail(QStringLiteral("gst-launch-1.0 failed: ") +
             QString::fromLocal8Bit(process.readAllStandardError()));
    }
    return path;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QTemporaryDir dir;
    FakeHttpServer server;
    server.response = FakeHttpServer::reply("200 OK", R"({"text":"ok"})");
    TranscriptionServerRecognition speech(server.address(), QStringLiteral("whisper-1"));

    std::printf("%-10s %12s %12s\n", "recording", "wait (ms)", "upload (MB)");
    for (const int seconds : {5, 30, 120}) {
        const QString path = recording(dir, seconds);
        const std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("en-US"));
        QEventLoop loop;
        std::optional<QString> text;
        QElapsedTimer timer;
        timer.start();
        recognizer->recognizeFile(path, [&](const RecognitionResult& update) {
            text = update.text;
            loop.quit();
        });
        loop.exec();
        const qint64 waited = timer.elapsed();
        if (!text) {
            fail(QStringLiteral("the %1 s recording was not transcribed").arg(seconds));
        }
        std::printf("%-10s %12lld %12.1f\n", qPrintable(QStringLiteral("%1 s").arg(seconds)),
                    static_cast<long long>(waited), server.requests.last().body.size() / 1e6);
    }
    return 0;
}
