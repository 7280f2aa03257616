#pragma once

#include <QGroupBox>

class AppState;
class QLabel;
class QPlainTextEdit;
class SpeechEngineSelection;

/// The "Vocabulary" part of Settings: words and phrases, one per line, that speech recognition should spell
/// as they are written. Says how many fit in the recogniser's prompt, or that pocketsphinx ignores them.
class VocabularySection : public QGroupBox {
    Q_OBJECT

public:
    VocabularySection(AppState& state, SpeechEngineSelection& selection, QWidget* parent = nullptr);

private:
    void showFit();

    AppState& m_state;
    SpeechEngineSelection& m_selection;
    QPlainTextEdit* m_entries;
    QLabel* m_fit;
};
