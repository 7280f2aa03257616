#pragma once

#include "speech/SpeechRecognition.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <QThread>

// For tests of the real recognition engines.

/// Speaks text with espeak-ng into a WAV file at wavePath and encodes that as AAC in an M4A file at m4aPath,
/// like a recording. Returns whether both steps succeeded.
inline bool makeSpokenRecording(const QString& text, const QString& wavePath, const QString& m4aPath) {
    const QString encode =
        QStringLiteral("-q filesrc location=%1 ! wavparse ! audioconvert ! audioresample ! "
                       "avenc_aac ! mp4mux ! filesink location=%2");
    return QProcess::execute(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), wavePath, text}) == 0 &&
           QProcess::execute(QStringLiteral("gst-launch-1.0"), encode.arg(wavePath, m4aPath).split(u' ')) ==
               0;
}

/// What a recogniser reported for one file: how often its handler ran, the last result, and on which thread.
struct RecognitionReport {
    int calls = 0;
    RecognitionResult result;
    bool onMainThread = false;
};

/// Starts recognising the file; the report fills in as the recogniser answers.
inline std::shared_ptr<RecognitionReport> startRecognition(SpeechRecognizer& recognizer, const QString& url) {
    auto report = std::make_shared<RecognitionReport>();
    recognizer.recognizeFile(url, [report](const RecognitionResult& result) {
        ++report->calls;
        report->result = result;
        report->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
    });
    return report;
}

/// Recognises the file, waiting generously. The caller checks calls, so a missing answer fails there; a
/// second answer would be queued behind the first by the time this returns.
inline RecognitionReport recognizeOnce(SpeechRecognizer& recognizer, const QString& url) {
    const std::shared_ptr<RecognitionReport> report = startRecognition(recognizer, url);
    (void)QTest::qWaitFor([&] { return report->calls > 0; }, 90000);
    QTest::qWait(20);
    return *report;
}
