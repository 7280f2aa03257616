#include "ui/VocabularySection.h"

#include "core/AppState.h"
#include "core/SpeechEngineSelection.h"
#include "speech/Vocabulary.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

VocabularySection::VocabularySection(AppState& state, SpeechEngineSelection& selection, QWidget* parent)
    : QGroupBox(QStringLiteral("Vocabulary"), parent)
    , m_state(state)
    , m_selection(selection) {
    auto* layout = new QVBoxLayout(this);
    m_entries = new QPlainTextEdit(m_state.vocabulary(), this);
    m_entries->setObjectName(QStringLiteral("vocabulary"));
    m_entries->setPlaceholderText(QStringLiteral("Names, products and terms, one per line"));
    m_entries->setMinimumHeight(60);
    m_entries->setMaximumHeight(100);
    connect(m_entries, &QPlainTextEdit::textChanged, this, [this] {
        if (m_entries->toPlainText() != m_state.vocabulary()) {
            m_state.setVocabulary(m_entries->toPlainText());
        }
    });
    layout->addWidget(m_entries);

    m_fit = new QLabel(this);
    m_fit->setObjectName(QStringLiteral("vocabularyFit"));
    m_fit->setWordWrap(true);
    layout->addWidget(m_fit);

    connect(&m_state, &AppState::vocabularyChanged, this, [this](const QString& vocabulary) {
        if (m_entries->toPlainText() != vocabulary) {
            m_entries->setPlainText(vocabulary);
        }
        showFit();
    });
    connect(&m_selection, &SpeechEngineSelection::planChanged, this, &VocabularySection::showFit);
    showFit();
}

void VocabularySection::showFit() {
    if (m_selection.plan().engine == SpeechEnginePlan::Engine::pocketsphinx) {
        m_fit->setText(QStringLiteral("pocketsphinx ignores the vocabulary; a Whisper model uses it."));
        return;
    }
    const QStringList entries = vocabularyEntries(m_state.vocabulary());
    const qsizetype kept = vocabularyPrompt(entries, estimatedTokens).entriesKept;
    if (kept == entries.size()) {
        m_fit->setText(QStringLiteral("Whisper is told these words and spells them as written."));
    } else {
        m_fit->setText(QStringLiteral("About %1 of %2 entries fit in Whisper's prompt; the last ones are "
                                      "left out.")
                           .arg(kept)
                           .arg(entries.size()));
    }
}
