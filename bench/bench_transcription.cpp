// Measures the pocketsphinx backend on espeak-ng speech: how long the model takes to load and how much memory
// it holds, the real-time factor and the wait after the end of a 5 s, 30 s and 120 s recording when the
// recogniser was prepared during the recording, and the word accuracy on a fixed set of sentences.
//
//     build-bench/bench/bench_transcription [recording lengths in seconds, default 5 30 120]
//
// Needs espeak-ng, sox and gst-launch-1.0, no display and no sound server. Prints "name value" lines for
// bench/run.sh; what was said and heard goes to stderr.

#include "speech/pocketsphinx/PocketsphinxRecognition.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

const QStringList sentences = {
    QStringLiteral("Please send the report to the team before the meeting on Friday."),
    QStringLiteral("The weather today is cold and windy with a chance of rain."),
    QStringLiteral("I would like to book a table for two people at seven."),
    QStringLiteral("Can you remind me to call my mother tomorrow morning?"),
    QStringLiteral("The quick brown fox jumps over the lazy dog."),
    QStringLiteral("We need to buy milk, bread and eggs on the way home."),
    QStringLiteral("Turn left at the next street and drive for two miles."),
    QStringLiteral("The new version of the program is much faster than the old one."),
    QStringLiteral("Thank you for your help with the project last week."),
    QStringLiteral("Our flight leaves at nine in the evening from the main airport."),
};

void fail(const QString& what) {
    std::fprintf(stderr, "bench_transcription: %s\n", qPrintable(what));
    std::exit(1);
}

void run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(300000) || process.exitCode() != 0) {
        fail(program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError()));
    }
}

// Speaks the text and encodes it the way the recorder does, as AAC in M4A; seconds > 0 cuts it to that
// length.
QString speak(const QDir& dir, const QString& name, const QString& text, int seconds = 0) {
    const QString wave = dir.filePath(name + QStringLiteral(".wav"));
    const QString m4a = dir.filePath(name + QStringLiteral(".m4a"));
    run(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), wave, text});
    QString source = wave;
    if (seconds > 0) {
        source = dir.filePath(name + QStringLiteral("-cut.wav"));
        run(QStringLiteral("sox"),
            {wave, source, QStringLiteral("trim"), QStringLiteral("0"), QString::number(seconds)});
    }
    run(QStringLiteral("gst-launch-1.0"),
        QStringLiteral(
            "-q filesrc location=%1 ! wavparse ! audioconvert ! audioresample ! avenc_aac ! mp4mux ! "
            "filesink location=%2")
            .arg(source, m4a)
            .split(QLatin1Char(' ')));
    return m4a;
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

RecognitionResult recognize(SpeechRecognizer& recognizer, const QString& url) {
    RecognitionResult result;
    QEventLoop loop;
    recognizer.recognizeFile(url, [&](const RecognitionResult& update) {
        result = update;
        loop.quit();
    });
    loop.exec();
    return result;
}

QStringList words(const QString& text) {
    static const QRegularExpression notWord(QStringLiteral("[^a-z' ]"));
    return text.toLower().replace(notWord, QStringLiteral(" ")).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Word edit distance between what was said and what was heard.
int wordErrors(const QStringList& said, const QStringList& heard) {
    std::vector<int> previous(heard.size() + 1), current(heard.size() + 1);
    for (int j = 0; j <= heard.size(); ++j) {
        previous[j] = j;
    }
    for (int i = 1; i <= said.size(); ++i) {
        current[0] = i;
        for (int j = 1; j <= heard.size(); ++j) {
            const int substitution = previous[j - 1] + (said[i - 1] == heard[j - 1] ? 0 : 1);
            current[j] = std::min({substitution, previous[j] + 1, current[j - 1] + 1});
        }
        std::swap(previous, current);
    }
    return previous[heard.size()];
}

void measureModel(PocketsphinxRecognition& speech) {
    const long before = residentKilobytes();
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("en-US"));
    if (!recognizer->isAvailable()) {
        fail(QStringLiteral("the model does not load"));
    }
    const qint64 loadMs = timer.elapsed();
    const long loaded = residentKilobytes();
    recognizer.reset();
    // The last reference to the model may still be in the worker that loaded it, for a moment.
    QThread::msleep(500);
    const long released = residentKilobytes();
    std::printf("model_load_ms %lld\nmodel_held_mb %ld\nmodel_kept_after_release_mb %ld\n", loadMs,
                (loaded - before) / 1024, (released - before) / 1024);
}

void measureWaitAfterStop(PocketsphinxRecognition& speech, const QDir& dir, const QList<int>& lengths) {
    const QString longText = sentences.join(QLatin1Char(' ')).repeated(8);
    for (int seconds : lengths) {
        const QString file = speak(dir, QStringLiteral("long-%1").arg(seconds), longText, seconds);

        // As in a dictation: the recogniser was made when the recording started and has loaded meanwhile.
        std::unique_ptr<SpeechRecognizer> prepared = speech.createRecognizer(QStringLiteral("en-US"));
        prepared->isAvailable();
        QElapsedTimer timer;
        timer.start();
        const RecognitionResult update = recognize(*prepared, file);
        const double wait = timer.elapsed() / 1000.0;
        if (!update.text) {
            fail(QStringLiteral("recognition failed: ") + update.error);
        }

        timer.restart();
        std::unique_ptr<SpeechRecognizer> cold = speech.createRecognizer(QStringLiteral("en-US"));
        recognize(*cold, file);
        const double coldWait = timer.elapsed() / 1000.0;

        std::printf("wait_after_stop_%d_s %.2f\ncold_wait_after_stop_%d_s %.2f\nreal_time_factor_%d_s %.3f\n",
                    seconds, wait, seconds, coldWait, seconds, wait / seconds);
    }
}

void measureAccuracy(PocketsphinxRecognition& speech, const QDir& dir) {
    std::unique_ptr<SpeechRecognizer> recognizer = speech.createRecognizer(QStringLiteral("en-US"));
    int said = 0;
    int errors = 0;
    for (int i = 0; i < sentences.size(); ++i) {
        const QString file = speak(dir, QStringLiteral("sentence-%1").arg(i), sentences[i]);
        const RecognitionResult update = recognize(*recognizer, file);
        const QString heard = update.text.value_or(QString());
        const QStringList expected = words(sentences[i]);
        said += expected.size();
        errors += wordErrors(expected, words(heard));
        std::fprintf(stderr, "  said:  %s\n  heard: %s\n", qPrintable(sentences[i]), qPrintable(heard));
    }
    std::printf("word_accuracy_percent %.1f\n", 100.0 * (said - errors) / said);
    std::fprintf(stderr, "%d word errors in %d words\n", errors, said);
}

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        fail(QStringLiteral("no temporary directory"));
    }
    PocketsphinxRecognition speech;
    measureModel(speech);
    QList<int> lengths;
    for (int i = 1; i < argc; ++i) {
        lengths << QString::fromLocal8Bit(argv[i]).toInt();
    }
    measureWaitAfterStop(speech, QDir(dir.path()), lengths.isEmpty() ? QList<int>{5, 30, 120} : lengths);
    measureAccuracy(speech, QDir(dir.path()));
    return 0;
}
