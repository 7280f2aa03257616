#include "core/AppState.h"
#include "core/Prompts.h"

#include <QSet>
#include <QTest>

class TestPrompts : public QObject {
    Q_OBJECT

    const QString guidelines = QString::fromUtf8(TextProcessingGuidelines);
    const QString rule = QString::fromUtf8(BannedWordsRule);

private slots:
    void everyModeIsFoundByItsExactLabelOnly() {
        QSet<QString> labels;
        for (DictationMode mode : allModes()) {
            labels << rawValue(mode);
            QCOMPARE(modeFromRawValue(rawValue(mode)), std::optional(mode));
        }
        QCOMPARE(labels.size(), 13);
        for (const char* near : {"Smart", "smart \u2728", "Zero \u2699", ""}) {
            QCOMPARE(modeFromRawValue(QString::fromUtf8(near)), std::nullopt);
        }
    }

    // Each mode has a prompt of its own, and it leads the composed prompt, followed by the guidelines and
    // the banned words; literal never reaches the model.
    void composedPromptIsTheModesPromptThenTheRules() {
        QSet<QString> prompts;
        for (DictationMode mode : allModes()) {
            const std::optional<QString> prompt = promptTableEntry(mode);
            QCOMPARE(prompt.has_value(), mode != DictationMode::literal);
            if (prompt) {
                prompts << *prompt;
                QCOMPARE(composeSystemPrompt(mode, true, QStringLiteral("delve")),
                         *prompt + QStringLiteral("\n\n") + guidelines + rule + QStringLiteral("delve"));
            }
        }
        QCOMPARE(prompts.size(), 12);
        QVERIFY(rule.startsWith(QStringLiteral("\n\nCRITICAL RULE: ")) && rule.endsWith(u' '));
    }

    void bannedWordsAreTrimmedOnlyAtTheEndsAndNeededForTheRule() {
        const QString bare = *promptTableEntry(DictationMode::gonzo) + QStringLiteral("\n\n") + guidelines;
        QCOMPARE(composeSystemPrompt(DictationMode::gonzo, false, AppState::defaultBannedWords), bare);
        QCOMPARE(composeSystemPrompt(DictationMode::gonzo, true, QStringLiteral(" \n\t \u00A0\r\n ")), bare);
        QCOMPARE(
            composeSystemPrompt(DictationMode::gonzo, true, QStringLiteral("  \n foo,Bar ,\nbaz qux \n ")),
            bare + rule + QStringLiteral("foo,Bar ,\nbaz qux"));
    }
};

QTEST_GUILESS_MAIN(TestPrompts)
#include "tst_prompts.moc"
