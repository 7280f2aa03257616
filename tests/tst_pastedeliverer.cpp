#include "core/AppState.h"
#include "core/Log.h"
#include "fakes/DeliveryFakes.h"
#include "output/PasteDeliverer.h"
#include "platform/null/NullPlatform.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Long enough for a wrongly scheduled paste to show up after the 0.3 s delay.
constexpr int quietPeriodMs = 700;

class PasteDelivererTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void delivers_data();
    void delivers();
    void pastesNothingOnceTheStateIsGone();
    void permissionCheckLogsOnlyWhenNotTrusted();

private:
    std::unique_ptr<PasteDeliverer> makeDeliverer();

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<AppState> m_state;
    QStringList m_journal;
    std::unique_ptr<JournalPasteboard> m_pasteboard;
    std::unique_ptr<JournalSystemSound> m_sound;
    std::unique_ptr<JournalAccessibilityTrust> m_trust;
    std::unique_ptr<JournalKeyboardEvents> m_keyboard;
};

void PasteDelivererTest::init() {
    m_settings =
        std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    m_state = std::make_unique<AppState>(*m_settings, QStringLiteral("en_US"),
                                         [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
    m_journal.clear();
    m_pasteboard = std::make_unique<JournalPasteboard>(m_journal);
    m_sound = std::make_unique<JournalSystemSound>(m_journal);
    m_trust = std::make_unique<JournalAccessibilityTrust>(m_journal);
    m_keyboard = std::make_unique<JournalKeyboardEvents>(m_journal);
    setLogSink([this](const QString& line) { m_journal << QStringLiteral("log ") + line; });
}

void PasteDelivererTest::cleanup() {
    setLogSink({});
}

std::unique_ptr<PasteDeliverer> PasteDelivererTest::makeDeliverer() {
    return std::make_unique<PasteDeliverer>(
        *m_state, PasteDeliverer::Services{*m_pasteboard, *m_sound, *m_trust, *m_keyboard});
}

void PasteDelivererTest::delivers_data() {
    QTest::addColumn<bool>("autoPaste");
    QTest::addColumn<QString>("previous"); // none, named, unnamed, terminated
    QTest::addColumn<bool>("trusted");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("atOnce");
    QTest::addColumn<QStringList>("later");

    const QStringList clipboardAndSound = {"clear clipboard", "set clipboard Hello wörld 👋", "play Tink"};
    const QStringList paste = {"check trust", "log [AppState] Dispatching Cmd+V...", "paste keystroke"};

    QTest::newRow("auto-paste off: clipboard and sound only")
        << false << "named" << true << "Hello wörld 👋" << clipboardAndSound << QStringList();
    QTest::newRow("previous application activated, then the paste")
        << true << "named" << true << "Hello wörld 👋"
        << clipboardAndSound + QStringList{"log [AppState] Activating Editor ✍...", "activate"} << paste;
    QTest::newRow("previous application without a name")
        << true << "unnamed" << true << "Hello wörld 👋"
        << clipboardAndSound + QStringList{"log [AppState] Activating app...", "activate"} << paste;
    QTest::newRow("no previous application: no activation, still a paste")
        << true << "none" << true << "Hello wörld 👋" << clipboardAndSound << paste;
    QTest::newRow("previous application gone: no activation, still a paste")
        << true << "terminated" << true << "Hello wörld 👋" << clipboardAndSound << paste;
    QTest::newRow("not trusted: prompt, no keystroke")
        << true << "none" << false << "Hello wörld 👋" << clipboardAndSound
        << QStringList{"check trust", "log [AppState] Accessibility not trusted. Prompting user..."};
    QTest::newRow("empty text is still put on the clipboard and pasted")
        << true << "none" << true << "" << QStringList{"clear clipboard", "set clipboard ", "play Tink"}
        << paste;
}

void PasteDelivererTest::delivers() {
    QFETCH(bool, autoPaste);
    QFETCH(QString, previous);
    QFETCH(bool, trusted);
    QFETCH(QString, text);
    QFETCH(QStringList, atOnce);
    QFETCH(QStringList, later);

    m_state->setAutoPaste(autoPaste);
    m_trust->trusted = trusted;
    if (previous != QLatin1String("none")) {
        const std::optional<QString> name =
            previous == QLatin1String("unnamed") ? std::nullopt : std::optional(QStringLiteral("Editor ✍"));
        m_state->previousApp =
            std::make_shared<JournalApplication>(m_journal, name, previous == QLatin1String("terminated"));
    }
    const std::unique_ptr<PasteDeliverer> deliverer = makeDeliverer();

    deliverer->deliverText(text);
    QCOMPARE(m_journal, atOnce);

    QTRY_COMPARE_WITH_TIMEOUT(m_journal, atOnce + later, 10000);
    QTest::qWait(quietPeriodMs);
    QCOMPARE(m_journal, atOnce + later);
}

void PasteDelivererTest::pastesNothingOnceTheStateIsGone() {
    const std::unique_ptr<PasteDeliverer> deliverer = makeDeliverer();
    deliverer->deliverText(QStringLiteral("text"));
    m_state.reset();

    QTest::qWait(quietPeriodMs);
    QCOMPARE(m_journal, (QStringList{"clear clipboard", "set clipboard text", "play Tink"}));
}

void PasteDelivererTest::permissionCheckLogsOnlyWhenNotTrusted() {
    const std::unique_ptr<PasteDeliverer> deliverer = makeDeliverer();
    QVERIFY(deliverer->checkAccessibilityPermission());
    m_trust->trusted = false;
    QVERIFY(!deliverer->checkAccessibilityPermission());
    QCOMPARE(m_journal, (QStringList{"check trust", "check trust",
                                     "log [AppState] Accessibility not trusted. Prompting user..."}));
}

QTEST_GUILESS_MAIN(PasteDelivererTest)
#include "tst_pastedeliverer.moc"
