#include "speech/whisper/SpeechSegmenter.h"

#include "speech/whisper/SpeechDetector.h"
#include "speech/whisper/WhisperModel.h"

#include <algorithm>
#include <iterator>

namespace {

// Detection runs over everything since the last stretch taken, so it runs once a second rather than for
// every buffer of the capture.
constexpr std::size_t examineEvery = whisperSampleRate;
// Speech that has just begun may not yet count as speech; this much of a silence is kept.
constexpr std::size_t keptSilence = whisperSampleRate;
// A stretch that ends this close to the end of the audio may still be going on.
constexpr std::size_t stillOpen = whisperSampleRate * SpeechDetector::minimumPauseMs / 2000;

} // namespace

SpeechSegmenter::SpeechSegmenter(SpeechDetector& detector)
    : m_detector(detector) {}

std::optional<std::vector<float>> SpeechSegmenter::add(std::span<const float> samples) {
    m_pending.insert(m_pending.end(), samples.begin(), samples.end());
    m_unexamined += samples.size();
    if (m_unexamined < examineEvery) {
        return std::vector<float>();
    }
    return takeSpeech(false);
}

std::optional<std::vector<float>> SpeechSegmenter::finish() {
    return takeSpeech(true);
}

std::optional<std::vector<float>> SpeechSegmenter::takeSpeech(bool recordingOver) {
    m_unexamined = 0;
    const std::optional<std::vector<SpeechStretch>> stretches = m_detector.speech(m_pending);
    if (!stretches) {
        return std::nullopt;
    }
    std::vector<SpeechStretch> ended = *stretches;
    if (!recordingOver && !ended.empty() && ended.back().end + stillOpen >= m_pending.size()) {
        ended.pop_back();
    }
    std::vector<float> speech;
    for (const SpeechStretch& stretch : ended) {
        speech.insert(speech.end(), m_pending.begin() + std::ptrdiff_t(stretch.begin),
                      m_pending.begin() + std::ptrdiff_t(stretch.end));
    }
    // What stays is the speech still going on, or else the last moment of silence.
    std::size_t keepFrom = m_pending.size() > keptSilence ? m_pending.size() - keptSilence : 0;
    if (!ended.empty()) {
        keepFrom = std::max(keepFrom, ended.back().end);
    }
    if (stretches->size() > ended.size()) {
        keepFrom = std::min(keepFrom, stretches->back().begin);
    }
    m_pending.erase(m_pending.begin(),
                    m_pending.begin() + std::ptrdiff_t(recordingOver ? m_pending.size() : keepFrom));
    return speech;
}
