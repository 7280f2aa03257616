#pragma once

#include "speech/SpeechRecognition.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

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
