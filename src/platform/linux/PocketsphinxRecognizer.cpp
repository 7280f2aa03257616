#include "platform/linux/PocketsphinxRecognizer.h"

#include "platform/linux/AudioFileDecoder.h"

#include <QObject>
#include <QThreadPool>

namespace {

using Model = PocketsphinxRecognizer::Model;
using Clock = std::chrono::steady_clock;

RecognitionUpdate failure(const QString& description) {
    RecognitionUpdate update;
    update.error = description;
    return update;
}

RecognitionUpdate recognize(Model& model, const QString& path, const std::function<bool()>& stillWanted,
                            std::chrono::milliseconds extraTime) {
    std::lock_guard lock(model.inUse);
    PocketsphinxDecoder& decoder = *model.decoder;
    if (!decoder.startUtterance()) {
        return failure(QStringLiteral("the recogniser could not start"));
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
        return failure(decoderFailed ? QStringLiteral("the recogniser failed") : *decodingError);
    }
    if (!words) {
        return failure(QStringLiteral("the recogniser failed"));
    }
    RecognitionUpdate update;
    update.text = *words;
    update.isFinal = true;
    return update;
}

} // namespace

PocketsphinxRecognizer::PocketsphinxRecognizer(const PocketsphinxModelPaths& paths, QThreadPool& workers,
                                               QObject& mainThread, std::chrono::milliseconds extraTime)
    : m_workers(workers)
    , m_mainThread(mainThread)
    , m_extraTime(extraTime) {
    auto loaded = std::make_shared<std::promise<std::shared_ptr<Model>>>();
    m_model = loaded->get_future().share();
    m_workers.start([loaded, paths] {
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
    auto owned = std::make_shared<ResultHandler>(std::move(handler));
    m_handlers.push_back(owned);
    std::weak_ptr<ResultHandler> weakHandler = owned;

    m_workers.start([model = m_model, path = audioFilePath(url), weakHandler, mainThread = &m_mainThread,
                     extraTime = m_extraTime] {
        const auto stillWanted = [&weakHandler] { return !weakHandler.expired(); };
        const std::shared_ptr<Model> loaded = model.get();
        const RecognitionUpdate update =
            loaded ? recognize(*loaded, path, stillWanted, extraTime)
                   : failure(QStringLiteral("the speech model could not be loaded"));
        QMetaObject::invokeMethod(
            mainThread,
            [weakHandler, update] {
                if (const std::shared_ptr<ResultHandler> handler = weakHandler.lock()) {
                    (*handler)(update);
                }
            },
            Qt::QueuedConnection);
    });
}
