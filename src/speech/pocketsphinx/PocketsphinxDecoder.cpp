#include "speech/pocketsphinx/PocketsphinxDecoder.h"

#include <err.h>
#include <pocketsphinx.h>

#include <malloc.h>

namespace {

const QString modelDirectory = QStringLiteral("/usr/share/pocketsphinx/model/en-us/");

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
    // The model is many small allocations that the allocator would otherwise keep for the life of the
    // process; handing them back is what keeps an idle program small.
    malloc_trim(0);
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
