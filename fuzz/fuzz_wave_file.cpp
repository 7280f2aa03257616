// The WAV file built from decoded audio for the transcription server, read back as a server would.
#include "FuzzSupport.h"
#include "speech/AudioFileDecoder.h"
#include "speech/server/WaveFile.h"

#include <QtEndian>

namespace {

quint32 field32(const QByteArray& file, int offset) {
    return qFromLittleEndian<quint32>(file.constData() + offset);
}

quint16 field16(const QByteArray& file, int offset) {
    return qFromLittleEndian<quint16>(file.constData() + offset);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray samples(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray file = waveFile(samples);
    require(file.size() == 44 + samples.size());
    require(file.startsWith("RIFF") && file.mid(8, 8) == "WAVEfmt " && file.mid(36, 4) == "data");
    require(field32(file, 4) == static_cast<quint32>(file.size() - 8));
    require(field16(file, 20) == 1 && field16(file, 22) == 1 && field16(file, 34) == 16);
    require(field32(file, 24) == decodedSampleRate && field32(file, 28) == 2 * decodedSampleRate);
    require(field32(file, 40) == static_cast<quint32>(samples.size()) && file.mid(44) == samples);
    return 0;
}
