#include "speech/pocketsphinx/PocketsphinxDecoder.h"

#include <err.h>
#include <pocketsphinx.h>

#include <malloc.h>

namespace {

const QString modelDirectory = QStringLiteral("/usr/share/pocketsphinx/model/en-us/");

#if defined(__SANITIZE_ADDRESS__)
#define MURMURO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MURMURO_ADDRESS_SANITIZER 1
#endif
#endif

// The model is many small allocations that glibc's allocator would otherwise keep for the life of the
// process; handing them back is what keeps an idle program small. Under AddressSanitizer the sanitizer's
// allocator holds them and glibc's heap is never set up, so there is nothing to trim, and trimming would
// set that heap up lazily from this worker thread: glibc then counts the worker as the main thread's user
// of its main arena, two workers doing it at once are both counted as that one, and the second of them to
// exit aborts the program.
void releaseFreedMemory() {
#ifndef MURMURO_ADDRESS_SANITIZER
    malloc_trim(0);
#endif
}

} // namespace

PocketsphinxModelPaths PocketsphinxModelPaths::usEnglish() {
    return {modelDirectory + QStringLiteral("en-us"), modelDirectory + QStringLiteral("en-us.lm.bin"),
            modelDirectory + QStringLiteral("cmudict-en-us.dict")};
}

std::unique_ptr<PocketsphinxDecoder> PocketsphinxDecoder::load(const PocketsphinxModelPaths& paths) {
    const QByteArray acousticModel = paths.acousticModel.toLocal8Bit();
    const QByteArray languageModel = paths.languageModel.toLocal8Bit();
    const QByteArray dictionary = paths.dictionary.toLocal8Bit();
    // The library's own diagnostics would otherwise fill standard error on every load.
    err_set_logfp(nullptr);
    cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", acousticModel.constData(), "-lm",
                                   languageModel.constData(), "-dict", dictionary.constData(), nullptr);
    if (!config) {
        return nullptr;
    }
    ps_decoder_t* decoder = ps_init(config);
    if (!decoder) {
        cmd_ln_free_r(config);
        return nullptr;
    }
    return std::unique_ptr<PocketsphinxDecoder>(new PocketsphinxDecoder(config, decoder));
}

PocketsphinxDecoder::PocketsphinxDecoder(cmd_ln_t* config, ps_decoder_t* decoder)
    : m_config(config)
    , m_decoder(decoder) {}

PocketsphinxDecoder::~PocketsphinxDecoder() {
    ps_free(m_decoder);
    cmd_ln_free_r(m_config);
    releaseFreedMemory();
}

bool PocketsphinxDecoder::startUtterance() {
    return ps_start_utt(m_decoder) >= 0;
}

bool PocketsphinxDecoder::process(std::span<const std::int16_t> samples) {
    return ps_process_raw(m_decoder, samples.data(), samples.size(), FALSE, FALSE) >= 0;
}

std::optional<QString> PocketsphinxDecoder::endUtterance() {
    if (ps_end_utt(m_decoder) < 0) {
        return std::nullopt;
    }
    const char* hypothesis = ps_get_hyp(m_decoder, nullptr);
    return hypothesis ? QString::fromUtf8(hypothesis) : QString();
}
