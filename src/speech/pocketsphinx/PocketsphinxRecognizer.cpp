#include "speech/pocketsphinx/PocketsphinxRecognizer.h"

#include "speech/AudioFileDecoder.h"

namespace {

using Model = PocketsphinxRecognizer::Model;
using Clock = std::chrono::steady_clock;

RecognitionResult recognize(Model& model, const QString& path, const std::function<bool()>& stillWanted,
                            std::chrono::milliseconds extraTime) {
    std::lock_guard lock(model.inUse);
    PocketsphinxDecoder& decoder = *model.decoder;
    if (!decoder.startUtterance()) {
        return RecognitionResult::failure(QStringLiteral("the recogniser could not start"));
    }

    const Clock::time_point started = Clock::now();
    std::size_t samplesHeard = 0;
    bool decoderFailed = false;
    const auto consume = [&](std::span<const std::int16_t> samples) {
        samplesHeard += samples.size();
        decoderFailed = decoderFailed || !decoder.process(samples);
    };
    const auto shouldContinue = [&] {
        const auto audioLength = std::chrono::milliseconds(samplesHeard * 1000 / decodedSampleRate);
        return stillWanted() && !decoderFailed && Clock::now() - started < 2 * audioLength + extraTime;
    };

    const std::optional<QString> decodingError = decodeAudioFile(path, consume, shouldContinue);
    const std::optional<QString> words = decoder.endUtterance();
    if (decodingError) {
        return RecognitionResult::failure(decoderFailed ? QStringLiteral("the recogniser failed")
                                                        : *decodingError);
    }
    if (!words) {
        return RecognitionResult::failure(QStringLiteral("the recogniser failed"));
    }
    return RecognitionResult::transcript(*words);
}

} // namespace

PocketsphinxRecognizer::PocketsphinxRecognizer(const PocketsphinxModelPaths& paths,
                                               RecognitionThreads& threads,
                                               std::chrono::milliseconds extraTime)
    : m_extraTime(extraTime)
    , m_jobs(threads) {
    auto loaded = std::make_shared<std::promise<std::shared_ptr<Model>>>();
    m_model = loaded->get_future().share();
    m_jobs.runOnWorker([loaded, paths] {
        auto model = std::make_shared<Model>();
        model->decoder = PocketsphinxDecoder::load(paths);
        loaded->set_value(model->decoder ? model : nullptr);
    });
}

PocketsphinxRecognizer::~PocketsphinxRecognizer() = default;

bool PocketsphinxRecognizer::isAvailable() const {
    return m_model.get() != nullptr;
}

void PocketsphinxRecognizer::recognizeFile(const QString& url, ResultHandler handler) {
    const RecognitionJob job = m_jobs.add(std::move(handler));
    m_jobs.runOnWorker([model = m_model, path = audioFilePath(url), job, extraTime = m_extraTime] {
        const std::shared_ptr<Model> loaded = model.get();
        job.report(loaded
                       ? recognize(
                             *loaded, path, [&job] { return job.stillWanted(); }, extraTime)
                       : RecognitionResult::failure(QStringLiteral("the speech model could not be loaded")));
    });
}
