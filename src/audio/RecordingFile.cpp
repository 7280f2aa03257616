#include "audio/RecordingFile.h"

#include <QStandardPaths>

QString recordingFilePath() {
    // Qt checks that the directory belongs to the user and is closed to others, and makes one of that kind
    // when $XDG_RUNTIME_DIR is unset or unfit.
    const QString directory = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (directory.isEmpty()) {
        return {};
    }
    return directory + QStringLiteral("/murmo_recording.m4a");
}
