// The chat server's reply body: the JSON checks and the cleaning of "message"."content".
#include "FuzzSupport.h"
#include "llm/ChatReply.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceMessages();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const std::optional<QString> text = chatReplyText(body)) {
        // A run of underscores loses its pairs, so none is left; a "**" may form from "*__*" and stays.
        require(!text->contains(QStringLiteral("__")));
    }
    return 0;
}
