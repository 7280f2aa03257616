#pragma once

#include <QString>

/// Where a dictation is recorded: "murmo_recording.m4a" in the user's private runtime directory
/// ($XDG_RUNTIME_DIR, else a directory only the user may enter). Empty when there is no such directory.
QString recordingFilePath();
