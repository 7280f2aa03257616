#include "core/Log.h"

#include <cstdio>

namespace {

std::function<void(const QString&)>& logSink() {
    static std::function<void(const QString&)> sink;
    return sink;
}

} // namespace

void logLine(const QString& line) {
    if (logSink()) {
        logSink()(line);
        return;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void setLogSink(std::function<void(const QString&)> sink) {
    logSink() = std::move(sink);
}
