#include "core/AppState.h"
#include "log/Log.h"
#include "fakes/DeliveryFakes.h"
#include "output/PasteDeliverer.h"
#include "platform/null/NullPlatform.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

// Long enough for a wrongly scheduled paste to show up after the 0.3 s delay.
constexpr int quietPeriodMs = 700;

class PasteDelivererTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup() { setLogSink({}); }
    void delivers_data();
    void delivers();
    void pastesNothingOnceTheStateIsGone();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<AppState> m_state;
    DeliveryJournal m_journal;
    std::unique_ptr<PasteDeliverer> m_deliverer;
};

void PasteDelivererTest::init() {
    m_settings =
        std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    m_state = std::make_unique<AppState>(*m_settings, QStringLiteral("en_US"),
                                         [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
    m_journal = DeliveryJournal();
    m_deliverer = std::make_unique<PasteDeliverer>(
        *m_state, PasteDeliverer::Services{m_journal, m_journal, m_journal, m_journal});
    setLogSink([this](const QString& line) { m_journal.entries << QStringLiteral("log ") + line; });
}

void PasteDelivererTest::delivers_data() {
    QTest::addColumn<bool>("autoPaste");
    QTest::addColumn<QString>("previous"); // none, named, unnamed, terminated
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("activation"); // right after the clipboard and the sound
    QTest::addColumn<QStringList>("later");

    const QString text = QStringLiteral("Hello wörld 👋");
    const QStringList paste = {"check trust", "log [AppState] Dispatching Cmd+V...", "paste keystroke"};
    QTest::newRow("auto-paste off") << false << "named" << true << text << QStringList() << QStringList();
    QTest::newRow("previous application activated")
        << true << "named" << true << text << QStringList{"log [AppState] Activating Editor ✍...", "activate"}
        << paste;
    QTest::newRow("previous application without a name")
        << true << "unnamed" << true << text << QStringList{"log [AppState] Activating app...", "activate"}
        << paste;
    QTest::newRow("no previous application") << true << "none" << true << text << QStringList() << paste;
    QTest::newRow("previous application gone")
        << true << "terminated" << true << text << QStringList() << paste;
    QTest::newRow("not trusted: prompt, no keystroke")
        << true << "none" << false << text << QStringList()
        << QStringList{"check trust", "log [AppState] Accessibility not trusted. Prompting user..."};
    QTest::newRow("empty text") << true << "none" << true << "" << QStringList() << paste;
}

void PasteDelivererTest::delivers() {
    QFETCH(bool, autoPaste);
    QFETCH(QString, previous);
    QFETCH(bool, trusted);
    QFETCH(QString, text);
    QFETCH(QStringList, activation);
    QFETCH(QStringList, later);
    const QStringList atOnce =
        QStringList{"clear clipboard", "set clipboard " + text, "play Tink"} + activation;

    m_state->setAutoPaste(autoPaste);
    m_journal.trusted = trusted;
    if (previous != QLatin1String("none")) {
        const std::optional<QString> name =
            previous == QLatin1String("unnamed") ? std::nullopt : std::optional(QStringLiteral("Editor ✍"));
        m_state->previousApp = std::make_shared<JournalApplication>(m_journal.entries, name,
                                                                    previous == QLatin1String("terminated"));
    }

    m_deliverer->deliverText(text);
    QCOMPARE(m_journal.entries, atOnce);
    QTRY_COMPARE_WITH_TIMEOUT(m_journal.entries, atOnce + later, 10000);
    QTest::qWait(quietPeriodMs);
    QCOMPARE(m_journal.entries, atOnce + later);
    // Asked directly, the check answers the trust and logs only when it is missing.
    QCOMPARE(m_deliverer->checkAccessibilityPermission(), trusted);
}

void PasteDelivererTest::pastesNothingOnceTheStateIsGone() {
    m_deliverer->deliverText(QStringLiteral("text"));
    m_state.reset();
    QTest::qWait(quietPeriodMs);
    QCOMPARE(m_journal.entries, (QStringList{"clear clipboard", "set clipboard text", "play Tink"}));
}

QTEST_GUILESS_MAIN(PasteDelivererTest)
#include "tst_pastedeliverer.moc"
