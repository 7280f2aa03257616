#include "speech/AudioFileDecoder.h"
#include "speech/Vocabulary.h"
#include "speech/whisper/SpeechSegmenter.h"
#include "speech/whisper/WhisperModelKeeper.h"
#include "speech/whisper/WhisperTranscription.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QtEndian>

#include <random>

namespace {

// whisper.cpp's test models have the real architecture of their size but no trained weights: they decode at
// the real cost and produce no words.
QString testModel(const char* name) {
    return QStringLiteral(WHISPER_TEST_MODELS "/for-tests-ggml-%1.bin").arg(name);
}

std::vector<float> silence(double seconds, float noise = 0.0f) {
    std::mt19937 generator(7);
    std::uniform_real_distribution<float> level(-noise, noise);
    std::vector<float> samples(std::size_t(seconds * whisperSampleRate));
    for (float& sample : samples) {
        sample = noise > 0 ? level(generator) : 0.0f;
    }
    return samples;
}

std::vector<float> joined(std::initializer_list<std::vector<float>> parts) {
    std::vector<float> all;
    for (const std::vector<float>& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

bool writeFile(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

// The Whisper engine with whisper.cpp's test models and the real Silero voice activity model, on speech
// made by espeak-ng.
class WhisperTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::vector<float> m_speech;
    QThreadPool m_workers;
    std::atomic<bool> m_notCancelled = false;

    PendingWhisperModels loaded(const QString& model) {
        std::promise<WhisperModels> models;
        models.set_value(loadWhisperModels(model, MURMURO_VAD_MODEL, 2));
        return models.get_future().share();
    }

    // Speech, a pause, speech, a pause, speech; fed as a capture would, a tenth of a second at a time.
    void speakWithPauses(WhisperTranscription& transcription) {
        const std::vector<float> recording =
            joined({m_speech, silence(1.5, 0.001f), m_speech, silence(1.5, 0.001f), m_speech});
        for (std::size_t at = 0; at < recording.size(); at += whisperSampleRate / 10) {
            transcription.addAudio(
                std::span(recording).subspan(at, std::min<std::size_t>(1600, recording.size() - at)));
        }
    }

    WhisperTranscription::Result finished(WhisperTranscription& transcription) {
        std::optional<WhisperTranscription::Result> result;
        transcription.finish([&result](const WhisperTranscription::Result& done) { result = done; });
        [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 300000); }();
        return result.value_or(WhisperTranscription::Result{});
    }

private slots:
    void initTestCase() {
        const QString wave = m_dir.filePath("speech.wav");
        QVERIFY(QProcess::execute("espeak-ng",
                                  {"-w", wave, "Please send the report to the team before Friday."}) == 0);
        const auto consume = [this](std::span<const std::int16_t> samples) {
            for (const std::int16_t sample : samples) {
                m_speech.push_back(sample / 32768.0f);
            }
        };
        QVERIFY(!decodeAudioFile(wave, consume, [] { return true; }));
        QVERIFY(m_speech.size() > std::size_t(whisperSampleRate));
    }

    void loadsDecodesAndFrees_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("English only") << "tiny.en";
        QTest::newRow("multilingual") << "base";
    }

    void loadsDecodesAndFrees() {
        QFETCH(QString, name);
        WhisperModel::Loaded loaded = WhisperModel::load(testModel(name.toLatin1()), 2);
        QVERIFY2(loaded.model, qPrintable(loaded.error));
        WhisperModel& model = *loaded.model;
        const bool multilingual = !name.endsWith(".en");
        QCOMPARE(model.isMultilingual(), multilingual);
        QCOMPARE(model.decodingLanguage("de"), multilingual ? "de" : "en");
        QCOMPARE(model.decodingLanguage("auto"), multilingual ? "auto" : "en");
        QCOMPARE(model.decodingLanguage("xx"), "en");
        QVERIFY(model.transcribe(m_speech, "de", m_notCancelled).has_value());

        // A vocabulary becomes the prompt as far as the model's tokenizer finds room, the last entries left
        // out; whisper.cpp itself would keep the last ones.
        QStringList vocabulary;
        for (int i = 0; i < 300; ++i) {
            vocabulary << QStringLiteral("Okonkwo%1 Nakamura").arg(i);
        }
        const QStringList kept = model.initialPrompt(vocabulary).split(QStringLiteral(", "));
        QVERIFY2(kept.size() > 10 && kept.size() < 100, qPrintable(QString::number(kept.size())));
        QCOMPARE(kept, vocabulary.first(kept.size()));
        QCOMPARE(model.initialPrompt({"Kubernetes", "Okonkwo"}), "Kubernetes, Okonkwo");
        QVERIFY(model.transcribe(m_speech, "en", m_notCancelled, vocabulary).has_value());
        const std::atomic<bool> cancelled = true;
        QCOMPARE(model.transcribe(m_speech, "en", cancelled), std::nullopt);
        loaded.model.reset();
    }

    void vocabularyIsCutToTheLimitFromTheEnd() {
        const QStringList entries = vocabularyEntries(QStringLiteral(" a  b \n\n c\r\nd e f\n g"));
        QCOMPARE(entries, QStringList({"a b", "c", "d e f", "g"}));
        const auto words = [](const QString& text) { return int(text.split(u' ').size()); };
        const VocabularyPrompt prompt = vocabularyPrompt(entries, words, 5);
        QCOMPARE(prompt.text, "a b, c");
        QCOMPARE(prompt.entriesKept, 2);
        QCOMPARE(vocabularyPrompt(entries, words, 1).entriesKept, 0);
        QCOMPARE(vocabularyPrompt(entries, words, 6).text, "a b, c, d e f");
    }

    void damagedFilesAreErrors_data() {
        QTest::addColumn<QByteArray>("contents");
        QFile file(testModel("tiny.en"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray model = file.readAll();
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("This is not a model.\n").repeated(100);
        QTest::newRow("magic only") << model.left(4);
        QTest::newRow("cut in the header") << model.left(30);
        QTest::newRow("cut in the vocabulary") << model.left(model.size() / 2);
        QTest::newRow("one byte short") << model.chopped(1);
        QByteArray hugeVocabulary = model;
        qToLittleEndian<qint32>(1'000'000'000, hugeVocabulary.data() + 4);
        QTest::newRow("huge vocabulary") << hugeVocabulary;
        QByteArray unknownWeightType = model;
        qToLittleEndian<qint32>(297, unknownWeightType.data() + 44);
        QTest::newRow("unknown weight type") << unknownWeightType;
        // A tensor record of 1024 floats that holds ten bytes.
        QByteArray tensor;
        for (const qint32 value : {1, 4, 0, 1024}) {
            tensor.append(reinterpret_cast<const char*>(&value), 4);
        }
        QTest::newRow("cut in a tensor") << model + tensor + "name" + QByteArray(10, '\0');
    }

    void damagedFilesAreErrors() {
        QFETCH(QByteArray, contents);
        const QString path = m_dir.filePath("damaged.bin");
        QVERIFY(writeFile(path, contents));
        const WhisperModel::Loaded loaded = WhisperModel::load(path, 2);
        QVERIFY(!loaded.model);
        QVERIFY2(loaded.error.contains(path), qPrintable(loaded.error));
        for (const QString& absent : {m_dir.filePath("absent.bin"), m_dir.path()}) {
            QVERIFY(!WhisperModel::load(absent, 2).model);
        }
    }

    void detectorFindsSpeechOnly() {
        SpeechDetector::Loaded loaded = SpeechDetector::load(MURMURO_VAD_MODEL);
        QVERIFY2(loaded.detector, qPrintable(loaded.error));
        for (const float noise : {0.0f, 0.003f}) {
            QCOMPARE(loaded.detector->speech(silence(5, noise)).value().size(), 0u);
        }
        const auto stretches = loaded.detector->speech(joined({silence(3), m_speech, silence(3)})).value();
        QCOMPARE(stretches.size(), 1u);
        const double begin = double(stretches[0].begin) / whisperSampleRate;
        const double end = double(stretches[0].end) / whisperSampleRate;
        const double speechEnd = 3 + double(m_speech.size()) / whisperSampleRate;
        QVERIFY2(begin > 2.5 && begin < 3.5 && end > speechEnd - 0.5 && end < speechEnd + 0.5,
                 qPrintable(QString("speech found at %1-%2 s").arg(begin).arg(end)));
    }

    void segmenterHandsOverSpeechThatAPauseEnded() {
        SpeechDetector::Loaded loaded = SpeechDetector::load(MURMURO_VAD_MODEL);
        QVERIFY(loaded.detector);
        SpeechSegmenter segmenter(*loaded.detector);
        const std::vector<float> recording =
            joined({silence(2), m_speech, silence(1.5), m_speech, silence(0.2)});
        std::vector<std::size_t> ended;
        for (std::size_t at = 0; at < recording.size(); at += 1600) {
            const auto piece = segmenter.add(
                std::span(recording).subspan(at, std::min<std::size_t>(1600, recording.size() - at)));
            QVERIFY(piece);
            if (!piece->empty()) {
                ended.push_back(piece->size());
            }
        }
        // The first stretch ended during the recording; the second is still open when it stops.
        QCOMPARE(ended.size(), 1u);
        QVERIFY(ended[0] >= m_speech.size() / 2 && ended[0] < m_speech.size() + whisperSampleRate);
        QVERIFY(segmenter.finish().value().size() >= m_speech.size() / 2);
        QCOMPARE(segmenter.finish().value().size(), 0u);
    }

    void transcriptionDecodesDuringTheRecording() {
        WhisperTranscription transcription(loaded(testModel("base.en")), "en", *this);
        speakWithPauses(transcription);
        QTRY_VERIFY_WITH_TIMEOUT(transcription.secondsDecoded() > 0, 300000);
        const WhisperTranscription::Result result = finished(transcription);
        QVERIFY2(result.text.has_value(), qPrintable(result.error));
        QVERIFY(result.secondsDecodedBeforeFinish > 0);
        QVERIFY(result.secondsDecodedAfterFinish > 0);
    }

    void silentRecordingIsNotDecoded() {
        WhisperTranscription transcription(loaded(testModel("tiny.en")), "en", *this);
        const std::vector<float> quiet = silence(4, 0.002f);
        transcription.addAudio(quiet);
        const WhisperTranscription::Result result = finished(transcription);
        QCOMPARE(result.text, QString());
        QCOMPARE(result.secondsDecodedBeforeFinish + result.secondsDecodedAfterFinish, 0.0);
    }

    void missingModelFailsTheDictation() {
        WhisperTranscription transcription(loaded(m_dir.filePath("absent.bin")), "en", *this);
        transcription.addAudio(m_speech);
        const WhisperTranscription::Result result = finished(transcription);
        QCOMPARE(result.text, std::nullopt);
        QVERIFY(result.error.contains("absent.bin"));
    }

    void destroyedTranscriptionReportsNothing() {
        int reports = 0;
        {
            WhisperTranscription transcription(loaded(testModel("small.en")), "en", *this);
            speakWithPauses(transcription);
            transcription.finish([&reports](const auto&) { ++reports; });
        }
        QTest::qWait(100);
        QCOMPARE(reports, 0);
    }

    void keeperKeepsModelsForTheNextDictation() {
        WhisperModelKeeper keeper(MURMURO_VAD_MODEL, 2, m_workers);
        const QString path = testModel("tiny.en");
        WhisperModel* first = keeper.acquire(path).get().model.get();
        QVERIFY(first);
        keeper.release();
        QVERIFY(keeper.holdsModels());
        QCOMPARE(keeper.acquire(path).get().model.get(), first);
        keeper.setKeepLoaded(std::chrono::milliseconds(0));
        keeper.release();
        QVERIFY(!keeper.holdsModels());
        // A failed load is tried again on the next dictation.
        const QString later = m_dir.filePath("later.bin");
        QVERIFY(!keeper.acquire(later).get().model);
        QVERIFY(QFile::copy(path, later));
        QVERIFY(keeper.acquire(later).get().model);
    }
};

QTEST_GUILESS_MAIN(WhisperTest)
#include "tst_whisper.moc"
