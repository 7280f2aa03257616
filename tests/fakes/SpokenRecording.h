#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace spoken_recording_detail {

inline bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

} // namespace spoken_recording_detail

/// Speaks text with espeak-ng into a WAV file at wavePath and encodes that as AAC in an M4A file at m4aPath,
/// like a recording. Returns whether both steps succeeded.
inline bool makeSpokenRecording(const QString& text, const QString& wavePath, const QString& m4aPath) {
    using spoken_recording_detail::run;
    return run(QStringLiteral("espeak-ng"), {QStringLiteral("-w"), wavePath, text}) &&
           run(QStringLiteral("gst-launch-1.0"),
               QStringLiteral(
                   "-q filesrc location=%1 ! wavparse ! audioconvert ! audioresample ! avenc_aac ! "
                   "mp4mux ! filesink location=%2")
                   .arg(wavePath, m4aPath)
                   .split(QLatin1Char(' ')));
}
