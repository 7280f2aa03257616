#include "core/AppState.h"
#include "core/Prompts.h"

#include <QTest>

class TestPrompts : public QObject {
    Q_OBJECT

private slots:
    void modesAreListedInMenuOrderWithExactLabels();
    void modeFromRawValueAcceptsOnlyExactLabels();
    void fixedTextsHaveTheirExactSizes();
    void everyPromptedModeLeadsWithItsOwnPrompt();
    void filterOffEndsWithTheGuidelines();
    void defaultListFollowsTheRuleUnchanged();
    void bannedWordsAreTrimmedOnlyAtTheEnds();
    void whiteSpaceOnlyListAddsNoRule();
};

namespace {

const QString guidelines = QString::fromUtf8(TextProcessingGuidelines);
const QString rule = QString::fromUtf8(BannedWordsRule);

} // namespace

void TestPrompts::modesAreListedInMenuOrderWithExactLabels() {
    QStringList labels;
    for (DictationMode mode : allModes()) {
        labels << rawValue(mode);
    }
    QCOMPARE(labels.size(), 13);
    QCOMPARE(labels.at(1), QStringLiteral("Literal \U0001F4DD"));
    // The three labels with a variation selector are the ones fonts render differently without it.
    QCOMPARE(rawValue(DictationMode::psychoanalyst).toUtf8(),
             QByteArray("Psychoanalyst \xF0\x9F\x9B\x8B\xEF\xB8\x8F"));
    QCOMPARE(rawValue(DictationMode::zero).toUtf8(), QByteArray("Zero \xE2\x9A\x99\xEF\xB8\x8F"));
    QCOMPARE(rawValue(DictationMode::radio).toUtf8(), QByteArray("Radio \xF0\x9F\x8E\x99\xEF\xB8\x8F"));
    QCOMPARE(rawValue(DictationMode::smart).toUtf8(), QByteArray("Smart \xE2\x9C\xA8"));
    QCOMPARE(rawValue(DictationMode::hypeMan), QStringLiteral("Hype Man \U0001F680"));
    QCOMPARE(labels.last(), rawValue(DictationMode::radio));
}

void TestPrompts::modeFromRawValueAcceptsOnlyExactLabels() {
    for (DictationMode mode : allModes()) {
        QCOMPARE(modeFromRawValue(rawValue(mode)), std::optional(mode));
    }
    QCOMPARE(modeFromRawValue(QStringLiteral("Smart")), std::nullopt);
    QCOMPARE(modeFromRawValue(QStringLiteral("smart \u2728")), std::nullopt);
    QCOMPARE(modeFromRawValue(QStringLiteral("Zero \u2699")), std::nullopt);
    QCOMPARE(modeFromRawValue(QString()), std::nullopt);
}

void TestPrompts::fixedTextsHaveTheirExactSizes() {
    struct Expected {
        DictationMode mode;
        int bytes;
        int lines;
    };
    const Expected expected[] = {
        {DictationMode::smart, 506, 1},         {DictationMode::gonzo, 175, 1},
        {DictationMode::hypeMan, 279, 1},       {DictationMode::cSuite, 299, 1},
        {DictationMode::techFounder, 312, 1},   {DictationMode::betterPrompt, 338, 1},
        {DictationMode::psychoanalyst, 327, 1}, {DictationMode::journalist, 279, 1},
        {DictationMode::hausmeister, 838, 8},   {DictationMode::gherkin, 748, 7},
        {DictationMode::zero, 1548, 28},        {DictationMode::radio, 1659, 21},
    };
    for (const Expected& e : expected) {
        const QByteArray prompt = promptTableEntry(e.mode)->toUtf8();
        QCOMPARE(prompt.size(), e.bytes);
        QCOMPARE(prompt.count('\n') + 1, e.lines);
    }
    QCOMPARE(promptTableEntry(DictationMode::literal), std::nullopt);
    QCOMPARE(QByteArray(TextProcessingGuidelines).size(), 651);
    QCOMPARE(QByteArray(TextProcessingGuidelines).count('\n'), 3);
    QCOMPARE(QByteArray(BannedWordsRule).size(), 117);
    QVERIFY(rule.startsWith(QStringLiteral("\n\nCRITICAL RULE: ")));
    QVERIFY(rule.endsWith(QStringLiteral("your response: ")));

    // Trailing spaces and typographic characters are part of the text sent to the model.
    const QStringList radio = promptTableEntry(DictationMode::radio)->split(QLatin1Char('\n'));
    QVERIFY(radio.at(0).endsWith(QStringLiteral(".  ")));
    QVERIFY(radio.at(1).endsWith(QStringLiteral(".  ")));
    QVERIFY(radio.at(7).startsWith(QStringLiteral("   - ")));
    QVERIFY(radio.at(0).contains(QStringLiteral("one\u2011man")));
    QVERIFY(promptTableEntry(DictationMode::zero)->contains(QStringLiteral("cannot do\u2014judgment")));
}

void TestPrompts::everyPromptedModeLeadsWithItsOwnPrompt() {
    for (DictationMode mode : allModes()) {
        if (mode == DictationMode::literal) {
            continue;
        }
        const QString composed = composeSystemPrompt(mode, true, QStringLiteral("delve"));
        QCOMPARE(composed, *promptTableEntry(mode) + QStringLiteral("\n\n") + guidelines + rule +
                               QStringLiteral("delve"));
    }
}

void TestPrompts::filterOffEndsWithTheGuidelines() {
    const QString composed = composeSystemPrompt(DictationMode::gonzo, false, AppState::defaultBannedWords);
    QCOMPARE(composed, *promptTableEntry(DictationMode::gonzo) + QStringLiteral("\n\n") + guidelines);
    QVERIFY(composed.endsWith(QStringLiteral("Applies universally to all languages.")));
}

void TestPrompts::defaultListFollowsTheRuleUnchanged() {
    QCOMPARE(AppState::defaultBannedWords.size(), 488);
    const QString composed = composeSystemPrompt(DictationMode::smart, true, AppState::defaultBannedWords);
    QVERIFY(composed.endsWith(QStringLiteral("in your response: ") + AppState::defaultBannedWords));
}

void TestPrompts::bannedWordsAreTrimmedOnlyAtTheEnds() {
    const QString composed =
        composeSystemPrompt(DictationMode::smart, true, QStringLiteral("  \n foo,Bar ,\nfoo,baz qux \n  "));
    QVERIFY(composed.endsWith(rule + QStringLiteral("foo,Bar ,\nfoo,baz qux")));
}

void TestPrompts::whiteSpaceOnlyListAddsNoRule() {
    const QString expected = *promptTableEntry(DictationMode::smart) + QStringLiteral("\n\n") + guidelines;
    QCOMPARE(composeSystemPrompt(DictationMode::smart, true, QStringLiteral(" \n\t \u00A0\r\n ")), expected);
    QCOMPARE(composeSystemPrompt(DictationMode::smart, true, QString()), expected);
}

QTEST_GUILESS_MAIN(TestPrompts)
#include "tst_prompts.moc"
