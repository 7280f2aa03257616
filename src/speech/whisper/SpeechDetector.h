#pragma once

#include <QString>

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

struct whisper_vad_context;

/// Where speech is in a clip, as sample positions [begin, end), padded a little on both sides.
struct SpeechStretch {
    std::size_t begin = 0;
    std::size_t end = 0;
};

/// Voice activity detection with whisper.cpp's Silero model, which ships with the program (a small file,
/// loaded together with the Whisper model). Thread-safe.
class SpeechDetector {
public:
    struct Loaded {
        std::unique_ptr<SpeechDetector> detector;
        QString error;
    };

    /// A pause must last at least this long to end a stretch of speech.
    static constexpr int minimumPauseMs = 600;
    /// Longer speech is cut at its shortest pause, so that no stretch outgrows Whisper's 30 s window.
    static constexpr float maximumStretchSeconds = 20.0f;

    static Loaded load(const QString& path);

    ~SpeechDetector();
    SpeechDetector(const SpeechDetector&) = delete;
    SpeechDetector& operator=(const SpeechDetector&) = delete;

    /// The stretches of speech in the clip, in order; nothing when detection failed.
    std::optional<std::vector<SpeechStretch>> speech(std::span<const float> clip);

private:
    explicit SpeechDetector(whisper_vad_context* context);

    whisper_vad_context* m_context;
    std::mutex m_inUse;
};
