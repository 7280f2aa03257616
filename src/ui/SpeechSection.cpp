#include "ui/SpeechSection.h"

#include "core/AppState.h"
#include "core/SpeechEngineSelection.h"
#include "ui/WhisperModelList.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>

namespace {

using Engine = SpeechEnginePlan::Engine;

const char* engineKey(Engine engine) {
    switch (engine) {
    case Engine::whisper:
        return "whisper";
    case Engine::server:
        return "server";
    case Engine::pocketsphinx:
        break;
    }
    return "pocketsphinx";
}

} // namespace

SpeechSection::SpeechSection(AppState& state, SpeechEngineSelection& selection, ModelDownloader& downloader,
                             QWidget* parent)
    : QGroupBox(QStringLiteral("Speech Recognition"), parent)
    , m_state(state)
    , m_selection(selection) {
    auto* form = new QFormLayout(this);

    m_engine = new QComboBox(this);
    m_engine->setObjectName(QStringLiteral("speechEngine"));
    m_engine->addItem(QStringLiteral("Whisper model (offline)"), QStringLiteral("whisper"));
    m_engine->addItem(QStringLiteral("pocketsphinx (offline, US English only)"),
                      QStringLiteral("pocketsphinx"));
    m_engine->addItem(QStringLiteral("Transcription server (MURMURO_SPEECH_SERVER)"),
                      QStringLiteral("server"));
    connect(m_engine, &QComboBox::activated, this,
            [this](int index) { m_state.setSpeechEngine(m_engine->itemData(index).toString()); });
    form->addRow(QStringLiteral("Engine:"), m_engine);

    m_hint = new QLabel(QStringLiteral("A Whisper model gives much better text: download one below."), this);
    m_hint->setObjectName(QStringLiteral("speechHint"));
    form->addRow(m_hint);
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("whisperProblem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #c0392b"));
    form->addRow(m_problem);

    m_models = new WhisperModelList(state, downloader, this);
    connect(m_models, &WhisperModelList::modelsChanged, &m_selection, &SpeechEngineSelection::refresh);
    form->addRow(QStringLiteral("Whisper model:"), m_models);
    form->addRow(QStringLiteral("Or a model file:"), createModelFileRow());

    m_keepLoaded = new QSpinBox(this);
    m_keepLoaded->setObjectName(QStringLiteral("whisperKeepLoadedMinutes"));
    m_keepLoaded->setRange(0, AppState::maxWhisperKeepLoadedMinutes);
    m_keepLoaded->setSuffix(QStringLiteral(" min"));
    m_keepLoaded->setValue(m_state.whisperKeepLoadedMinutes());
    connect(m_keepLoaded, &QSpinBox::valueChanged, &m_state, &AppState::setWhisperKeepLoadedMinutes);
    connect(&m_state, &AppState::whisperKeepLoadedMinutesChanged, m_keepLoaded, &QSpinBox::setValue);
    form->addRow(QStringLiteral("Keep the model loaded after a dictation:"), m_keepLoaded);

    connect(&m_selection, &SpeechEngineSelection::planChanged, this, &SpeechSection::showPlan);
    connect(&m_state, &AppState::speechEngineChanged, this, &SpeechSection::showPlan);
    showPlan();
}

QWidget* SpeechSection::createModelFileRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    m_modelFile = new QLineEdit(row);
    m_modelFile->setObjectName(QStringLiteral("whisperModelFile"));
    m_modelFile->setPlaceholderText(QStringLiteral("/path/to/ggml-model.bin"));
    const auto useFile = [this] {
        const QString path = m_modelFile->text().trimmed();
        if (QDir::isAbsolutePath(path) && path != m_state.whisperModel()) {
            m_state.setWhisperModel(path);
        }
    };
    connect(m_modelFile, &QLineEdit::editingFinished, this, useFile);
    auto* browse = new QPushButton(QStringLiteral("Browse…"), row);
    connect(browse, &QPushButton::clicked, this, [this, useFile] {
        const QString path =
            QFileDialog::getOpenFileName(this, QStringLiteral("Whisper model file"), QDir::homePath(),
                                         QStringLiteral("ggml models (*.bin);;All files (*)"));
        if (!path.isEmpty()) {
            m_modelFile->setText(path);
            useFile();
        }
    });
    connect(&m_state, &AppState::whisperModelChanged, this, &SpeechSection::showPlan);
    layout->addWidget(m_modelFile);
    layout->addWidget(browse);
    return row;
}

void SpeechSection::showPlan() {
    const SpeechEnginePlan& plan = m_selection.plan();
    const bool fromEnvironment = plan.engine == Engine::server;
    const QString stored = m_state.speechEngine();
    const bool storedChoice = stored == QLatin1String("whisper") || stored == QLatin1String("pocketsphinx");
    const QString chosen =
        !fromEnvironment && storedChoice ? stored : QString::fromLatin1(engineKey(plan.engine));
    // The server is chosen by the environment only.
    qobject_cast<QStandardItemModel*>(m_engine->model())->item(2)->setEnabled(fromEnvironment);
    m_engine->setCurrentIndex(m_engine->findData(chosen));
    m_engine->setEnabled(!fromEnvironment);
    m_hint->setVisible(plan.whisperWouldHelp);
    // A catalog model that is not downloaded yet is what the hint is about; any other problem is shown.
    const bool whisperChosen =
        chosen == QLatin1String("whisper") || QDir::isAbsolutePath(m_state.whisperModel());
    m_problem->setVisible(!fromEnvironment && whisperChosen && !plan.whisperProblem.isEmpty());
    m_problem->setText(QStringLiteral("The Whisper model %1 cannot be used: %2.")
                           .arg(plan.whisperModelPath, plan.whisperProblem));
    if (QDir::isAbsolutePath(m_state.whisperModel()) && m_modelFile->text() != m_state.whisperModel()) {
        m_modelFile->setText(m_state.whisperModel());
    }
}
