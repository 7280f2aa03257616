// A ggml Whisper model file, downloaded or chosen by the user, walked before whisper.cpp may load it.
#include "FuzzSupport.h"
#include "speech/whisper/WhisperModelFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QString modelPath;

bool sound(const QByteArray& contents) {
    QFile file(modelPath);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size());
    file.close();
    return !whisperModelFileProblem(modelPath).has_value();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceMessages();
    static QTemporaryDir directory(QDir::tempPath() + QStringLiteral("/murmuro-fuzz-model.XXXXXX"));
    require(directory.isValid());
    modelPath = directory.filePath(QStringLiteral("ggml-model.bin"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray contents(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!sound(contents)) {
        return 0;
    }
    // A sound file ends where its last record ends: one byte cut off or added makes it unsound.
    require(!sound(contents.chopped(1)));
    require(!sound(contents + '\0'));
    return 0;
}
