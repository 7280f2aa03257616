// CPU cost of recording: runs one recording of the default input through the recorder stage and the
// GStreamer backend, with the level meter ticking, and prints the process's CPU time as a share of one core.
//
//     build-bench/bench/bench_recording_cpu [seconds, default 30]
//
// bench/run.sh runs it on the test desktop's virtual microphone, kept flowing by a steady silent stream as
// a real microphone would be.

#include "audio/MicrophoneRecorder.h"
#include "core/AppState.h"
#include "log/Log.h"
#include "platform/linux/GstAudioCapture.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include <sys/resource.h>

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct QuitWhenFinished : RecordingDelegate {
    void recordingDidFinish(const QString&, const std::optional<QString>& e) override {
        error = e;
        QCoreApplication::quit();
    }
    std::optional<QString> error;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    setLogSink([](const QString&) {});
    const int seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 30;
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    AppState state(settings, QStringLiteral("en_US"));
    GstAudioCapture capture;
    MicrophoneRecorder recorder(state, capture, dir.filePath(QStringLiteral("murmo_recording.m4a")));
    QuitWhenFinished delegate;

    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    recorder.startRecording(delegate);
    if (state.recordingState() != RecordingState::recording) {
        std::fprintf(stderr, "no input to record from\n");
        return 1;
    }
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &app, [&recorder] { recorder.stop(); });
    app.exec();
    const double cpu = cpuSeconds() - cpuBefore;
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    if (delegate.error) {
        std::fprintf(stderr, "recording failed: %s\n", qPrintable(*delegate.error));
        return 1;
    }
    std::printf("recording_cpu_percent %.2f\n", 100.0 * cpu / elapsed);
    std::fprintf(stderr, "recording %.1f s: %.2f s CPU\n", elapsed, cpu);
    return 0;
}
