// Loss at the press: how much of a sound that begins with the start of a recording is missing from the file.
//
//     build-bench/bench/bench_press_loss [rounds, default 5]
//
// Runs inside scripts/with-test-desktop.sh. Each round is a program start of its own (a child process): it
// prepares the capture as the program does once it is up and settles for 2 s as a freshly launched program
// would, then starts a recording on the real capture path (GstAudioCapture and GstRecordingSession, default
// input) while a 1.5 s tone begins to play into the virtual microphone, stops 0.7 s after the tone has ended
// and measures how much of the tone the file lacks: the first dictation after launch. One second later it
// does the same again: a later dictation. The rounds run with a GStreamer registry that does not exist yet (a
// new user profile) and with the one they leave. Prints the medians of the loss and of how long the start
// call blocked. Two last children time, with a fresh and with the cached registry, the steps that a first
// start took before the capture was prepared and the encoder joined late: what the first recording would
// otherwise wait for.
//
// The tone goes into a playback stream that has run for the whole settling time. What it takes to reach a
// running capture is printed as breakdown_*_tone_path_ms (about 20 ms here, most of it the source's own
// buffering): only the part of it before the capture starts can hide a loss.

#include "log/Log.h"
#include "platform/linux/GstAudioCapture.h"
#include "speech/AudioFileDecoder.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <numbers>
#include <thread>
#include <vector>

#include <gst/gst.h>
#include <sys/ioctl.h>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int playbackRate = 48000;
constexpr auto block = 5ms;
constexpr int blockFrames = playbackRate / 200;
constexpr double toneSeconds = 1.5;
constexpr double toneHz = 1000;
constexpr auto settleAfterLaunch = 2000ms;
constexpr auto afterTone = 700ms;
constexpr auto betweenDictations = 1000ms;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// A playback stream into the virtual microphone through a pacat child: silence, and the tone on request.
/// Written block by block at the pace of the clock, so that the pipe holds no backlog that would delay the
/// tone.
class TonePlayer {
public:
    TonePlayer() {
        m_pipe = popen("exec pacat --playback --device=murmuro_speaker --raw --format=s16le --rate=48000 "
                       "--channels=1 --latency-msec=10 --client-name=tone",
                       "w");
        for (int i = 0; i < static_cast<int>(toneSeconds * playbackRate); ++i) {
            m_tone.push_back(static_cast<std::int16_t>(
                16384 * std::sin(2 * std::numbers::pi * toneHz * i / playbackRate)));
        }
        m_thread = std::thread([this] { run(); });
    }
    ~TonePlayer() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_one();
        m_thread.join();
        pclose(m_pipe);
    }
    bool running() const { return m_pipe != nullptr; }

    /// The tone's first block goes out now, not at the next tick.
    void playTone() {
        {
            std::lock_guard lock(m_mutex);
            m_toneRequested = true;
        }
        m_wake.notify_one();
    }

private:
    void run() {
        std::vector<std::int16_t> samples(blockFrames);
        std::size_t position = m_tone.size();
        Clock::time_point next = Clock::now();
        while (m_pipe) {
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait_until(lock, next, [this] { return m_stop || m_toneRequested; });
                if (m_stop) {
                    return;
                }
                if (m_toneRequested) {
                    m_toneRequested = false;
                    position = 0;
                    next = Clock::now();
                }
            }
            next += block;
            // Silence goes out only while the pipe is nearly empty, so no backlog builds up before the tone
            // however late pacat starts reading.
            int queued = 0;
            if (position >= m_tone.size() && ioctl(fileno(m_pipe), FIONREAD, &queued) == 0 &&
                queued >= static_cast<int>(sizeof(std::int16_t)) * blockFrames) {
                continue;
            }
            std::fill(samples.begin(), samples.end(), 0);
            const std::size_t count = std::min<std::size_t>(blockFrames, m_tone.size() - position);
            std::copy_n(m_tone.begin() + static_cast<std::ptrdiff_t>(position), count, samples.begin());
            position += count;
            std::fwrite(samples.data(), sizeof(std::int16_t), samples.size(), m_pipe);
            std::fflush(m_pipe);
        }
    }

    FILE* m_pipe = nullptr;
    std::vector<std::int16_t> m_tone;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_toneRequested = false;
};

/// Milliseconds of tone in the file: those whose peak reaches half the tone's amplitude. Counted rather than
/// measured from first to last, so that a gap in the playback does not stretch the tone. Negative when the
/// file cannot be read.
double toneMilliseconds(const QString& path) {
    constexpr int window = decodedSampleRate / 1000;
    int loud = 0;
    int peak = 0;
    int inWindow = 0;
    const auto failure = decodeAudioFile(
        path,
        [&](std::span<const std::int16_t> samples) {
            for (std::int16_t sample : samples) {
                peak = std::max(peak, std::abs(static_cast<int>(sample)));
                if (++inWindow == window) {
                    loud += peak >= 8192 ? 1 : 0;
                    peak = 0;
                    inWindow = 0;
                }
            }
        },
        [] { return true; });
    if (failure) {
        std::fprintf(stderr, "cannot read the recording: %s\n", qPrintable(*failure));
        return -1;
    }
    return loud;
}

struct Press {
    double lostMs = NAN;
    double startCallMs = 0;
};

/// One dictation: the tone and the start together, the stop after the tone, the file measured.
Press dictate(GstAudioCapture& capture, TonePlayer& player, const QString& path) {
    Press press;
    std::optional<QString> error;
    bool finished = false;
    QEventLoop loop;
    const Clock::time_point pressed = Clock::now();
    player.playTone();
    std::unique_ptr<CaptureSession> session =
        capture.startRecording(QString(), path,
                               [&](const QString&, const std::optional<QString>& e) {
                                   error = e;
                                   finished = true;
                                   loop.quit();
                               },
                               {}, {});
    press.startCallMs = msSince(pressed);
    if (!session) {
        std::fprintf(stderr, "no input to record from\n");
        return press;
    }
    const auto stopAt = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::duration<double>(toneSeconds) + afterTone - (Clock::now() - pressed));
    QTimer::singleShot(std::max(stopAt, 0ms), [&] { session->stopRecording(); });
    if (!finished) {
        loop.exec();
    }
    session.reset();
    if (error) {
        std::fprintf(stderr, "recording failed: %s\n", qPrintable(*error));
        return press;
    }
    const double tone = toneMilliseconds(path);
    std::fprintf(stderr, "%.0f ms of tone recorded, the start call took %.1f ms\n", tone, press.startCallMs);
    if (tone >= 0) {
        press.lostMs = toneSeconds * 1000 - tone;
    }
    return press;
}

void waitMs(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

/// A program start: settle, the first dictation, a pause, a later one. Prints "name value" lines.
int round() {
    const Clock::time_point launched = Clock::now();
    QTemporaryDir dir;
    TonePlayer player;
    if (!player.running()) {
        std::fprintf(stderr, "cannot start pacat\n");
        return 1;
    }
    GstAudioCapture capture;
    capture.prepare(); // as the program does once it is up
    waitMs(
        std::chrono::duration_cast<std::chrono::milliseconds>(settleAfterLaunch - (Clock::now() - launched)));
    const Press first = dictate(capture, player, dir.filePath(QStringLiteral("first.m4a")));
    waitMs(betweenDictations);
    const Press later = dictate(capture, player, dir.filePath(QStringLiteral("later.m4a")));
    if (std::isnan(first.lostMs) || std::isnan(later.lostMs)) {
        return 1;
    }
    std::printf("first %.1f %.1f\nlater %.1f %.1f\n", first.lostMs, first.startCallMs, later.lostMs,
                later.startCallMs);
    return 0;
}

/// Whether a buffer of signed 16-bit samples holds a sample at half the tone's amplitude or more.
bool holdsTone(GstBuffer* buffer) {
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        return false;
    }
    const std::span samples(reinterpret_cast<const std::int16_t*>(map.data), map.size / 2);
    const bool loud =
        std::any_of(samples.begin(), samples.end(), [](std::int16_t s) { return std::abs(s) >= 8192; });
    gst_buffer_unmap(buffer, &map);
    return loud;
}

/// The steps of a first start, timed one by one in a fresh process in the order GstAudioCapture takes them,
/// then the path of the tone: from playTone() until it comes out of the running source.
int breakdown(const char* registry) {
    TonePlayer player;
    std::this_thread::sleep_for(settleAfterLaunch);
    Clock::time_point step = Clock::now();
    auto lap = [&](const char* name) {
        std::printf("breakdown_%s_%s_ms %.1f\n", registry, name, msSince(step));
        step = Clock::now();
    };
    gst_init(nullptr, nullptr);
    lap("gst_init");
    for (const char* name : {"device_probe", "second_device_probe"}) {
        GstDeviceMonitor* monitor = gst_device_monitor_new();
        gst_device_monitor_add_filter(monitor, "Audio/Source", nullptr);
        g_list_free_full(gst_device_monitor_get_devices(monitor), gst_object_unref);
        gst_object_unref(monitor);
        lap(name);
    }
    // The recorder's elements, for the plugins they load; the pipeline timed below hands the source's
    // samples to a probe instead of the encoder.
    for (const char* factory : {"audioconvert", "level", "mp4mux", "fdsink"}) {
        gst_object_unref(gst_object_ref_sink(gst_element_factory_make(factory, nullptr)));
    }
    lap("small_plugins");
    gst_object_unref(gst_object_ref_sink(gst_element_factory_make("avenc_aac", nullptr)));
    lap("aac_encoder");
    GstElement* pipeline = gst_parse_launch(
        "autoaudiosrc name=source ! audioconvert ! audio/x-raw,format=S16LE ! fakesink name=sink", nullptr);
    lap("pipeline_build");
    gst_element_set_state(pipeline, GST_STATE_READY);
    lap("source_open");

    struct Watch {
        std::atomic<bool> flowing = false;
        std::atomic<bool> listening = false;
        std::atomic<bool> heard = false;
    } watch;
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo* info, gpointer data) {
            auto* watch = static_cast<Watch*>(data);
            watch->flowing = true;
            if (watch->listening && holdsTone(GST_PAD_PROBE_INFO_BUFFER(info))) {
                watch->heard = true;
            }
            return GST_PAD_PROBE_OK;
        },
        &watch, nullptr);
    gst_object_unref(pad);
    gst_object_unref(sink);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    while (!watch.flowing) {
        std::this_thread::sleep_for(100us);
    }
    lap("first_buffer");

    std::this_thread::sleep_for(500ms);
    watch.listening = true;
    step = Clock::now();
    player.playTone();
    while (!watch.heard && msSince(step) < 2000) {
        std::this_thread::sleep_for(100us);
    }
    lap("tone_path");
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return 0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? NAN : values[values.size() / 2];
}

/// Runs the children and prints the medians.
int measure(int rounds) {
    QTemporaryDir dir;
    const QString registry = dir.filePath(QStringLiteral("registry.bin"));
    auto child = [&](const QStringList& arguments, bool freshRegistry) {
        if (freshRegistry) {
            QFile::remove(registry);
        }
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("GST_REGISTRY"), registry);
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(), arguments);
        process.waitForFinished(60000);
        return QString::fromUtf8(process.readAllStandardOutput());
    };

    for (const bool fresh : {true, false}) {
        std::vector<double> lost[2], call[2];
        for (int i = 0; i < rounds; ++i) {
            const QString output = child({QStringLiteral("--round")}, fresh);
            std::fprintf(stderr, "%s registry, round %d:\n%s", fresh ? "fresh" : "cached", i + 1,
                         qPrintable(output));
            for (const QString& line : output.split(u'\n', Qt::SkipEmptyParts)) {
                const QStringList fields = line.split(u' ');
                const int which = fields.value(0) == QLatin1String("first") ? 0 : 1;
                lost[which].push_back(fields.value(1).toDouble());
                call[which].push_back(fields.value(2).toDouble());
            }
        }
        const char* registry = fresh ? "fresh" : "cached";
        std::printf("press_loss_first_%s_ms %.0f\npress_start_call_first_%s_ms %.0f\n", registry,
                    median(lost[0]), registry, median(call[0]));
        std::printf("press_loss_later_%s_ms %.0f\npress_start_call_later_%s_ms %.0f\n", registry,
                    median(lost[1]), registry, median(call[1]));
    }
    std::fputs(qPrintable(child({QStringLiteral("--breakdown"), QStringLiteral("fresh")}, true)), stdout);
    std::fputs(qPrintable(child({QStringLiteral("--breakdown"), QStringLiteral("cached")}, false)), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    setLogSink([](const QString&) {});
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("--round")) {
        return round();
    }
    if (arguments.value(0) == QLatin1String("--breakdown")) {
        return breakdown(arguments.value(1) == QLatin1String("fresh") ? "fresh" : "cached");
    }
    const int rounds = arguments.value(0).toInt();
    return measure(rounds > 0 ? rounds : 5);
}
