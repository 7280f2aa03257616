#pragma once

#include "speech/SpeechEngineSwitch.h"
#include "speech/SpeechRecognitionChoice.h"

#include <QObject>

class AppState;

/// Keeps the speech engine of dictations in line with the settings: the transcription server of the
/// environment, else the engine and Whisper model of AppState. Each change of those settings, and each
/// refresh() (a model was downloaded or deleted), plans the engine again and puts a new one in place when
/// the plan differs. Logs the engine in use, and why the chosen Whisper model cannot be used. The vocabulary
/// reaches every engine.
class SpeechEngineSelection : public QObject {
    Q_OBJECT

public:
    /// serverUrl and serverModel are MURMURO_SPEECH_SERVER and MURMURO_SPEECH_MODEL.
    SpeechEngineSelection(AppState& state, QString serverUrl, QString serverModel);

    /// What dictations recognise speech with; the same object for the life of the selection.
    SpeechRecognition& recognition() { return m_switch; }
    const SpeechEnginePlan& plan() const { return m_plan; }

    void refresh();

signals:
    void planChanged();

private:
    SpeechSettings settings() const;

    AppState& m_state;
    QString m_serverUrl;
    QString m_serverModel;
    SpeechEnginePlan m_plan;
    int m_keepLoadedMinutes = 0;
    SpeechEngineSwitch m_switch;
};
