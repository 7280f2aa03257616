#pragma once

#include <QGroupBox>

class AppState;
class ModelDownloader;
class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class SpeechEngineSelection;
class WhisperModelList;

/// The "Speech Recognition" part of Settings: the engine (Whisper, pocketsphinx, or the transcription server
/// when MURMURO_SPEECH_SERVER names one), the Whisper models to download and choose from, a local model
/// file, and how long a model stays loaded. Says in one line when a Whisper model would give better text,
/// and why the chosen model cannot be used.
class SpeechSection : public QGroupBox {
    Q_OBJECT

public:
    SpeechSection(AppState& state, SpeechEngineSelection& selection, ModelDownloader& downloader,
                  QWidget* parent = nullptr);

private:
    QWidget* createModelFileRow();
    void showPlan();

    AppState& m_state;
    SpeechEngineSelection& m_selection;
    QComboBox* m_engine;
    QLabel* m_hint;
    QLabel* m_problem;
    WhisperModelList* m_models;
    QLineEdit* m_modelFile = nullptr;
    QSpinBox* m_keepLoaded;
};
