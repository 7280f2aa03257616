#pragma once

/// Where the current dictation stands.
enum class RecordingState {
    idle,       ///< Nothing in progress.
    recording,  ///< The microphone is being recorded to the file.
    processing, ///< The file is being finished, transcribed, rewritten and delivered.
};
