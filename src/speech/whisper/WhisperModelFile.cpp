#include "speech/whisper/WhisperModelFile.h"

#include <QFile>
#include <QFileInfo>

#include <ggml.h>

#include <array>
#include <cstdint>

namespace {

// Bounds well beyond every Whisper architecture (the largest has 32 layers of width 1280, 128 mel bands and
// 51866 tokens), yet small enough that nothing a header states can make the loader allocate gigabytes.
constexpr std::int32_t maxLayers = 64;
constexpr std::int32_t maxWidth = 4096;
constexpr std::int32_t maxContext = 4096;
constexpr std::int32_t maxMelBands = 256;
constexpr std::int32_t maxFftBins = 1024;
constexpr std::int32_t maxVocabulary = 65536;
constexpr std::uint32_t maxTokenLength = 1024;
constexpr std::int32_t maxTensorNameLength = 256;

class HeaderReader {
public:
    explicit HeaderReader(QFile& file)
        : m_file(file)
        , m_size(file.size()) {}

    bool atEnd() const { return m_file.pos() == m_size; }

    bool readInt(std::int32_t& value) {
        return m_file.read(reinterpret_cast<char*>(&value), sizeof value) == qint64(sizeof value);
    }

    bool skip(qint64 bytes) {
        return bytes >= 0 && bytes <= m_size - m_file.pos() && m_file.skip(bytes) == bytes;
    }

private:
    QFile& m_file;
    qint64 m_size;
};

bool within(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value >= low && value <= high;
}

// ggml aborts the program when asked for the tensor type of a weight type it does not know, so the weight
// types Whisper models come in are listed here.
bool knownWeightType(std::int32_t weightType) {
    switch (ggml_ftype(weightType % GGML_QNT_VERSION_FACTOR)) {
    case GGML_FTYPE_ALL_F32:
    case GGML_FTYPE_MOSTLY_F16:
    case GGML_FTYPE_MOSTLY_BF16:
    case GGML_FTYPE_MOSTLY_Q4_0:
    case GGML_FTYPE_MOSTLY_Q4_1:
    case GGML_FTYPE_MOSTLY_Q5_0:
    case GGML_FTYPE_MOSTLY_Q5_1:
    case GGML_FTYPE_MOSTLY_Q8_0:
    case GGML_FTYPE_MOSTLY_Q2_K:
    case GGML_FTYPE_MOSTLY_Q3_K:
    case GGML_FTYPE_MOSTLY_Q4_K:
    case GGML_FTYPE_MOSTLY_Q5_K:
    case GGML_FTYPE_MOSTLY_Q6_K:
        return true;
    default:
        return false;
    }
}

// The eleven numbers after the magic: vocabulary, audio context, width, heads and layers, text context,
// width, heads and layers, mel bands and the weight type.
bool soundArchitecture(const std::array<std::int32_t, 11>& h) {
    const auto [vocabulary, audioContext, audioWidth, audioHeads, audioLayers, textContext, textWidth,
                textHeads, textLayers, melBands, weightType] = h;
    return within(vocabulary, 1, maxVocabulary) && within(audioContext, 1, maxContext) &&
           within(audioWidth, 1, maxWidth) && within(audioHeads, 1, audioWidth) &&
           audioWidth % audioHeads == 0 && within(audioLayers, 1, maxLayers) &&
           within(textContext, 1, maxContext) && textWidth == audioWidth && within(textHeads, 1, textWidth) &&
           textWidth % textHeads == 0 && within(textLayers, 1, maxLayers) &&
           within(melBands, 1, maxMelBands) && weightType >= 0 && knownWeightType(weightType);
}

// One tensor record: dimensions, name length and element type, the extents, the name, then the data.
bool skipTensor(HeaderReader& reader) {
    std::int32_t dimensions = 0;
    std::int32_t nameLength = 0;
    std::int32_t type = 0;
    if (!reader.readInt(dimensions) || !reader.readInt(nameLength) || !reader.readInt(type) ||
        !within(dimensions, 0, 4) || !within(nameLength, 1, maxTensorNameLength) ||
        !within(type, 0, GGML_TYPE_COUNT - 1)) {
        return false;
    }
    const auto elementType = ggml_type(type);
    const std::int64_t blockSize = ggml_blck_size(elementType);
    const auto blockBytes = static_cast<std::int64_t>(ggml_type_size(elementType));
    // whisper.cpp counts elements in 32 bits.
    std::int64_t elements = 1;
    for (std::int32_t i = 0; i < dimensions; ++i) {
        std::int32_t extent = 0;
        if (!reader.readInt(extent) || extent < 1) {
            return false;
        }
        elements *= extent;
        if (elements > INT32_MAX) {
            return false;
        }
    }
    return blockSize > 0 && blockBytes > 0 && elements % blockSize == 0 && reader.skip(nameLength) &&
           reader.skip(elements / blockSize * blockBytes);
}

} // namespace

std::optional<QString> whisperModelFileProblem(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return QStringLiteral("the file does not exist");
    }
    if (!info.isFile()) {
        return QStringLiteral("it is not a regular file");
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("it cannot be read: %1").arg(file.errorString());
    }
    HeaderReader reader(file);
    std::int32_t magic = 0;
    std::array<std::int32_t, 11> architecture{};
    bool headerRead = reader.readInt(magic);
    for (std::int32_t& value : architecture) {
        headerRead = headerRead && reader.readInt(value);
    }
    if (!headerRead || std::uint32_t(magic) != GGML_FILE_MAGIC) {
        return QStringLiteral("it is not a Whisper model in ggml format");
    }
    if (!soundArchitecture(architecture)) {
        return QStringLiteral("its header describes no Whisper model");
    }
    const QString cutShort = QStringLiteral("the file is incomplete or damaged");
    std::int32_t melBands = 0;
    std::int32_t fftBins = 0;
    std::int32_t tokens = 0;
    if (!reader.readInt(melBands) || !reader.readInt(fftBins) || !within(melBands, 1, maxMelBands) ||
        !within(fftBins, 1, maxFftBins) || !reader.skip(qint64(melBands) * fftBins * 4) ||
        !reader.readInt(tokens) || !within(tokens, 0, maxVocabulary)) {
        return cutShort;
    }
    for (std::int32_t i = 0; i < tokens; ++i) {
        std::int32_t length = 0;
        if (!reader.readInt(length) || std::uint32_t(length) > maxTokenLength || !reader.skip(length)) {
            return cutShort;
        }
    }
    // whisper.cpp takes a file that ends right after the vocabulary for a model without weights, as its test
    // models are; anything after that must be whole tensors.
    while (!reader.atEnd()) {
        if (!skipTensor(reader)) {
            return cutShort;
        }
    }
    return std::nullopt;
}
