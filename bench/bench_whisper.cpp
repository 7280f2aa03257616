// Measures the Whisper engine as a dictation uses it: espeak-ng sentences with short pauses are fed in real
// time, a tenth of a second at a time, as the capture would; the wait after stop is the time from the end of
// the recording to the transcript. Also the real-time factor (the whole recording decoded at once, divided by
// its length), the share of the speech decoded before stop, and the model's load time and memory.
//
//     build-bench/bench/bench_whisper [recording lengths in seconds, default 5 30 120]
//
// Runs whisper.cpp's base.en and small.en test models, which have the real architecture but untrained
// weights: their decoder emits no tokens, so their figures are the encoder's cost.
// MURMURO_BENCH_WHISPER_MODEL names a real model to measure as well, whose transcripts go to stderr. Needs
// espeak-ng; prints a Markdown table.

#include "speech/AudioFileDecoder.h"
#include "speech/whisper/WhisperTranscription.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

const QStringList sentences = {
    QStringLiteral("Please send the report to the team before the meeting on Friday."),
    QStringLiteral("The weather today is cold and windy with a chance of rain."),
    QStringLiteral("I would like to book a table for two people at seven."),
    QStringLiteral("Can you remind me to call my mother tomorrow morning?"),
    QStringLiteral("We need to buy milk, bread and eggs on the way home."),
};

constexpr std::size_t tenth = whisperSampleRate / 10;

void fail(const QString& what) {
    std::fprintf(stderr, "bench_whisper: %s\n", qPrintable(what));
    std::exit(1);
}

std::vector<float> spoken(const QDir& dir, const QString& text) {
    const QString wave = dir.filePath(QStringLiteral("sentence.wav"));
    if (QProcess::execute(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), wave, text}) != 0) {
        fail(QStringLiteral("espeak-ng failed"));
    }
    std::vector<float> samples;
    const auto consume = [&samples](std::span<const std::int16_t> decoded) {
        for (const std::int16_t sample : decoded) {
            samples.push_back(sample / 32768.0f);
        }
    };
    if (const std::optional<QString> error = decodeAudioFile(wave, consume, [] { return true; })) {
        fail(*error);
    }
    return samples;
}

// Sentence after sentence with 0.8 s pauses, cut to the length.
std::vector<float> dictation(const std::vector<std::vector<float>>& spokenSentences, int seconds) {
    std::vector<float> recording;
    const std::size_t length = std::size_t(seconds) * whisperSampleRate;
    for (std::size_t i = 0; recording.size() < length; ++i) {
        const std::vector<float>& sentence = spokenSentences[i % spokenSentences.size()];
        recording.insert(recording.end(), sentence.begin(), sentence.end());
        recording.resize(recording.size() + whisperSampleRate * 8 / 10, 0.0f);
    }
    recording.resize(length);
    return recording;
}

long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

PendingWhisperModels ready(WhisperModels models) {
    std::promise<WhisperModels> promise;
    promise.set_value(std::move(models));
    return promise.get_future().share();
}

WhisperTranscription::Result finish(WhisperTranscription& transcription) {
    WhisperTranscription::Result result;
    QEventLoop loop;
    transcription.finish([&](const WhisperTranscription::Result& done) {
        result = done;
        loop.quit();
    });
    loop.exec();
    if (!result.text) {
        fail(result.error);
    }
    return result;
}

struct Dictation {
    double waitAfterStop = 0;
    double realTimeFactor = 0;
    double shareBeforeStop = 0;
};

Dictation measure(const PendingWhisperModels& models, const std::vector<float>& recording,
                  QObject& mainThread) {
    Dictation figures;
    const double seconds = double(recording.size()) / whisperSampleRate;
    {
        WhisperTranscription live(models, QStringLiteral("en"), mainThread);
        QElapsedTimer clock;
        clock.start();
        for (std::size_t at = 0; at < recording.size(); at += tenth) {
            const qint64 due = qint64(at * 1000 / whisperSampleRate);
            if (clock.elapsed() < due) {
                QThread::msleep(static_cast<unsigned long>(due - clock.elapsed()));
            }
            live.addAudio(std::span(recording).subspan(at, std::min(tenth, recording.size() - at)));
        }
        QElapsedTimer wait;
        wait.start();
        const WhisperTranscription::Result result = finish(live);
        figures.waitAfterStop = wait.elapsed() / 1000.0;
        const double decoded = result.secondsDecodedBeforeFinish + result.secondsDecodedAfterFinish;
        figures.shareBeforeStop = decoded > 0 ? result.secondsDecodedBeforeFinish / decoded : 0;
        std::fprintf(stderr, "%.0f s heard: %s\n", seconds, qPrintable(*result.text));
    }
    WhisperTranscription whole(models, QStringLiteral("en"), mainThread);
    QElapsedTimer timer;
    timer.start();
    whole.addAudio(recording);
    finish(whole);
    figures.realTimeFactor = timer.elapsed() / 1000.0 / seconds;
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QList<int> lengths;
    for (const QString& argument : application.arguments().mid(1)) {
        lengths.append(argument.toInt());
    }
    if (lengths.isEmpty()) {
        lengths = {5, 30, 120};
    }
    QStringList models = {QStringLiteral(WHISPER_TEST_MODELS "/for-tests-ggml-base.en.bin"),
                          QStringLiteral(WHISPER_TEST_MODELS "/for-tests-ggml-small.en.bin")};
    if (const QString real = qEnvironmentVariable("MURMURO_BENCH_WHISPER_MODEL"); !real.isEmpty()) {
        models.append(real);
    }
    QTemporaryDir dir;
    std::vector<std::vector<float>> spokenSentences;
    for (const QString& sentence : sentences) {
        spokenSentences.push_back(spoken(QDir(dir.path()), sentence));
    }

    std::printf(
        "| Model | Load | Memory | Length | Wait after stop | Real-time factor | Decoded before stop |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const QString& path : models) {
        const long before = residentKilobytes();
        QElapsedTimer timer;
        timer.start();
        WhisperModels loaded = loadWhisperModels(path, MURMURO_VAD_MODEL, defaultWhisperThreads());
        const qint64 loadMs = timer.elapsed();
        if (!loaded.model) {
            fail(loaded.error);
        }
        const long held = residentKilobytes() - before;
        const PendingWhisperModels pending = ready(std::move(loaded));
        for (const int seconds : lengths) {
            const Dictation figures = measure(pending, dictation(spokenSentences, seconds), application);
            std::printf("| %s | %lld ms | %.0f MB | %d s | %.2f s | %.3f | %.0f %% |\n",
                        qPrintable(QFileInfo(path).fileName()), loadMs, held / 1024.0, seconds,
                        figures.waitAfterStop, figures.realTimeFactor, figures.shareBeforeStop * 100);
            std::fflush(stdout);
        }
    }
    return 0;
}
