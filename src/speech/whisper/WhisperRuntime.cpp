#include "speech/whisper/WhisperRuntime.h"

#include "log/Log.h"

#include <ggml-backend.h>
#include <whisper.h>

#include <dlfcn.h>

#include <filesystem>
#include <mutex>

namespace {

// whisper.cpp hands over its messages in pieces, each ending in a newline or continued by the next.
void forwardMessage(ggml_log_level, const char* text, void*) {
    const QByteArray line = QByteArray(text).trimmed();
    if (!line.isEmpty()) {
        qCDebug(lcSpeech).noquote() << QString::fromUtf8(line);
    }
}

void loadCpuBackend() {
#ifdef MURMURO_GGML_BACKENDS_BESIDE_LIBGGML
    Dl_info library{};
    if (dladdr(reinterpret_cast<void*>(&ggml_backend_load_all_from_path), &library) != 0 &&
        library.dli_fname) {
        const std::filesystem::path directory = std::filesystem::path(library.dli_fname).parent_path();
        ggml_backend_load_all_from_path(directory.c_str());
    }
#endif
    if (ggml_backend_dev_count() == 0) {
        ggml_backend_load_all();
    }
}

} // namespace

std::optional<QString> prepareWhisperRuntime() {
    static std::once_flag once;
    std::call_once(once, [] {
        whisper_log_set(forwardMessage, nullptr);
        if (ggml_backend_dev_count() == 0) {
            loadCpuBackend();
        }
    });
    if (ggml_backend_dev_count() == 0) {
        return QStringLiteral("whisper.cpp found no CPU backend for this processor");
    }
    return std::nullopt;
}
