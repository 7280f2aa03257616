#pragma once

#include <QtGlobal>

#include <cstdlib>

/// Keeps the program's log lines and Qt's warnings out of the fuzzer's output: millions of inputs would
/// bury its report. The messages are still formatted, so their code runs.
inline void silenceMessages() {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
}

/// Ends the run as a crash, so that libFuzzer keeps the input that broke the promise.
inline void require(bool promise) {
    if (!promise) {
        std::abort();
    }
}
