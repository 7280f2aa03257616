#include "speech/server/WaveFile.h"

#include "speech/AudioFileDecoder.h"

#include <QtEndian>

namespace {

constexpr quint16 channels = 1;
constexpr quint16 bytesPerSample = 2;
constexpr quint32 headerSize = 44;

template <typename Integer>
void appendLittleEndian(QByteArray& bytes, Integer value) {
    const Integer stored = qToLittleEndian(value);
    bytes.append(reinterpret_cast<const char*>(&stored), sizeof stored);
}

} // namespace

QByteArray waveFile(const QByteArray& samples) {
    const auto dataSize = static_cast<quint32>(samples.size());
    QByteArray file;
    file.reserve(headerSize + samples.size());
    file.append("RIFF");
    appendLittleEndian<quint32>(file, headerSize - 8 + dataSize);
    file.append("WAVE");
    file.append("fmt ");
    appendLittleEndian<quint32>(file, 16);
    appendLittleEndian<quint16>(file, 1); // integer PCM
    appendLittleEndian<quint16>(file, channels);
    appendLittleEndian<quint32>(file, decodedSampleRate);
    appendLittleEndian<quint32>(file, decodedSampleRate * channels * bytesPerSample);
    appendLittleEndian<quint16>(file, channels * bytesPerSample);
    appendLittleEndian<quint16>(file, bytesPerSample * 8);
    file.append("data");
    appendLittleEndian<quint32>(file, dataSize);
    file.append(samples);
    return file;
}
