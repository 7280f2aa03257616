#include "core/SpeechEngineSelection.h"

#include "core/AppState.h"
#include "log/Log.h"
#include "speech/Vocabulary.h"

namespace {

bool samePlan(const SpeechEnginePlan& a, const SpeechEnginePlan& b) {
    return a.engine == b.engine && a.whisperModelPath == b.whisperModelPath &&
           a.whisperProblem == b.whisperProblem && a.whisperWouldHelp == b.whisperWouldHelp;
}

void logPlan(const SpeechEnginePlan& plan, const SpeechSettings& settings) {
    qCInfo(lcSpeech).noquote() << plan.description(settings);
    if (plan.engine == SpeechEnginePlan::Engine::whisper && !plan.whisperProblem.isEmpty()) {
        qCWarning(lcSpeech).noquote() << QStringLiteral("The Whisper model %1 cannot be used: %2.")
                                             .arg(plan.whisperModelPath, plan.whisperProblem);
    }
}

} // namespace

SpeechEngineSelection::SpeechEngineSelection(AppState& state, QString serverUrl, QString serverModel)
    : m_state(state)
    , m_serverUrl(std::move(serverUrl))
    , m_serverModel(std::move(serverModel))
    , m_plan(planSpeechRecognition(settings()))
    , m_keepLoadedMinutes(state.whisperKeepLoadedMinutes())
    , m_switch(createSpeechRecognition(m_plan, settings())) {
    logPlan(m_plan, settings());
    m_switch.setVocabulary(vocabularyEntries(m_state.vocabulary()));
    connect(&m_state, &AppState::vocabularyChanged, this,
            [this](const QString& vocabulary) { m_switch.setVocabulary(vocabularyEntries(vocabulary)); });
    connect(&m_state, &AppState::speechEngineChanged, this, &SpeechEngineSelection::refresh);
    connect(&m_state, &AppState::whisperModelChanged, this, &SpeechEngineSelection::refresh);
    connect(&m_state, &AppState::whisperKeepLoadedMinutesChanged, this, &SpeechEngineSelection::refresh);
}

SpeechSettings SpeechEngineSelection::settings() const {
    return {m_serverUrl, m_serverModel, m_state.speechEngine(), m_state.whisperModel(),
            m_state.whisperKeepLoadedMinutes()};
}

void SpeechEngineSelection::refresh() {
    const SpeechSettings current = settings();
    const SpeechEnginePlan plan = planSpeechRecognition(current);
    if (samePlan(plan, m_plan) && current.keepLoadedMinutes == m_keepLoadedMinutes) {
        return;
    }
    const bool planChanged = !samePlan(plan, m_plan);
    m_plan = plan;
    m_keepLoadedMinutes = current.keepLoadedMinutes;
    if (planChanged) {
        logPlan(m_plan, current);
    }
    m_switch.use(createSpeechRecognition(m_plan, current));
    if (planChanged) {
        emit this->planChanged();
    }
}
