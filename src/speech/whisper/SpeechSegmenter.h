#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

class SpeechDetector;

/// Cuts a recording that is still going on into stretches of speech that can be decoded right away: speech
/// that a pause has ended, or that has grown to the detector's longest stretch. Silence is dropped. Not
/// thread-safe; lives on the decoding worker.
class SpeechSegmenter {
public:
    /// detector must outlive the segmenter.
    explicit SpeechSegmenter(SpeechDetector& detector);

    /// Takes the next samples of the recording. Returns the speech that has ended since the last call, as one
    /// clip, empty when none has; nothing when detection failed.
    std::optional<std::vector<float>> add(std::span<const float> samples);

    /// The speech in what remains of the recording, ended or not; empty when there is none.
    std::optional<std::vector<float>> finish();

private:
    std::optional<std::vector<float>> takeSpeech(bool recordingOver);

    SpeechDetector& m_detector;
    // The recording from the end of the last speech taken on: silence, or speech still going on.
    std::vector<float> m_pending;
    std::size_t m_unexamined = 0;
};
