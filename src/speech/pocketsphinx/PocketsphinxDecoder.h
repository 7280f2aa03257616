#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

struct cmd_ln_s;
struct ps_decoder_s;

/// Where the files of a pocketsphinx model are.
struct PocketsphinxModelPaths {
    QString acousticModel;
    QString languageModel;
    QString dictionary;

    /// The US English model of Debian's pocketsphinx-en-us package.
    static PocketsphinxModelPaths usEnglish();
};

/// A loaded pocketsphinx model and the decoder over it. Loading takes a good part of a second and well over
/// a hundred megabytes, so it is done on a worker and kept only while it is needed. Not thread-safe: one
/// utterance at a time.
class PocketsphinxDecoder {
public:
    /// Nothing when the model files do not load.
    static std::unique_ptr<PocketsphinxDecoder> load(const PocketsphinxModelPaths& paths);

    ~PocketsphinxDecoder();
    PocketsphinxDecoder(const PocketsphinxDecoder&) = delete;
    PocketsphinxDecoder& operator=(const PocketsphinxDecoder&) = delete;

    bool startUtterance();
    /// Samples at 16 kHz, mono.
    bool process(std::span<const std::int16_t> samples);
    /// The words heard since startUtterance, lower case and separated by spaces; empty when there were none.
    std::optional<QString> endUtterance();

private:
    PocketsphinxDecoder(cmd_ln_s* config, ps_decoder_s* decoder);

    cmd_ln_s* m_config;
    ps_decoder_s* m_decoder;
};
