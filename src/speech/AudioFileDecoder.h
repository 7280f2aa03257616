#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

/// The sample format pocketsphinx listens to: 16 kHz, mono, signed 16-bit.
inline constexpr int decodedSampleRate = 16000;

/// The path of a recording given as a file: URL or as a plain path.
QString audioFilePath(const QString& url);

using SampleConsumer = std::function<void(std::span<const std::int16_t> samples)>;

/// Decodes the audio file at path with GStreamer and hands its samples over piece by piece, in the format
/// above. Blocks the calling thread, so it belongs on a worker. shouldContinue is asked several times a
/// second; answering false stops the decoding. Returns nothing when the whole file was consumed, else why
/// not.
std::optional<QString> decodeAudioFile(const QString& path, const SampleConsumer& consume,
                                       const std::function<bool()>& shouldContinue);
