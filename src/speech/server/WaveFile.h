#pragma once

#include <QByteArray>

/// A WAV file in memory holding mono signed 16-bit samples at decodedSampleRate, the format the audio file
/// decoder delivers. samples are the raw little-endian sample bytes.
QByteArray waveFile(const QByteArray& samples);
