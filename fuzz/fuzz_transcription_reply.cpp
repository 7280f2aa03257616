// The transcription server's reply body.
#include "FuzzSupport.h"
#include "speech/server/TranscriptionReply.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const RecognitionResult result = transcriptionReply(body);
    require(result.text ? *result.text == result.text->trimmed() : !result.error.isEmpty());
    return 0;
}
