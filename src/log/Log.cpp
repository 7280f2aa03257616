#include "log/Log.h"

#include <cstdio>

Q_LOGGING_CATEGORY(lcSession, "murmuro.session", QtInfoMsg)
Q_LOGGING_CATEGORY(lcAudio, "murmuro.audio", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSpeech, "murmuro.speech", QtInfoMsg)
Q_LOGGING_CATEGORY(lcChat, "murmuro.chat", QtInfoMsg)
Q_LOGGING_CATEGORY(lcOutput, "murmuro.output", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHotkey, "murmuro.hotkey", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDesktop, "murmuro.desktop", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUi, "murmuro.ui", QtInfoMsg)

namespace {

QtMessageHandler& qtHandler() {
    static QtMessageHandler handler = nullptr;
    return handler;
}

std::function<void(const QString&)>& logSink() {
    static std::function<void(const QString&)> sink;
    return sink;
}

bool isOurs(const QMessageLogContext& context) {
    return context.category && qstrncmp(context.category, "murmuro.", 8) == 0;
}

void writeLine(const QString& line) {
    if (logSink()) {
        logSink()(line);
        return;
    }
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

void handleMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (isOurs(context)) {
        writeLine(message);
    } else if (qtHandler()) {
        qtHandler()(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    }
}

} // namespace

void installLogHandler() {
    QtMessageHandler previous = qInstallMessageHandler(handleMessage);
    if (previous != handleMessage) {
        qtHandler() = previous;
    }
}

void setLogSink(std::function<void(const QString&)> sink) {
    logSink() = std::move(sink);
    installLogHandler();
}
