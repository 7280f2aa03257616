#include "fakes/FakePlatform.h"
#include "fakes/TestAppState.h"
#include "log/Log.h"
#include "output/PasteDeliverer.h"

#include <QTest>

// Long enough for a wrongly scheduled paste to show up after the 0.3 s delay.
constexpr int quietPeriodMs = 700;

class PasteDelivererTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> m_app;
    FakeDeliveryServices m_services;
    std::unique_ptr<PasteDeliverer> m_deliverer;

private slots:
    void init() {
        m_app = std::make_unique<TestAppState>();
        m_services = FakeDeliveryServices();
        m_deliverer = std::make_unique<PasteDeliverer>(
            m_app->state, PasteDeliverer::Services{m_services, m_services, m_services, m_services});
        setLogSink([this](const QString& line) { m_services.journal << QStringLiteral("log ") + line; });
    }

    void cleanup() { setLogSink({}); }

    void delivers_data() {
        QTest::addColumn<bool>("autoPaste");
        QTest::addColumn<QString>("previous"); // none, or the name of the application, "?" unnamed, "gone"
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QStringList>("activation"); // right after the clipboard and the sound
        QTest::addColumn<QStringList>("later");
        const QStringList paste = {"check trust", "log [AppState] Dispatching Cmd+V...", "paste keystroke"};
        QTest::newRow("auto-paste off") << false << "Editor" << true << QStringList() << QStringList();
        QTest::newRow("previous application activated")
            << true << "Editor ✍" << true << QStringList{"log [AppState] Activating Editor ✍...", "activate"}
            << paste;
        QTest::newRow("previous application without a name")
            << true << "?" << true << QStringList{"log [AppState] Activating app...", "activate"} << paste;
        QTest::newRow("no previous application") << true << "" << true << QStringList() << paste;
        QTest::newRow("previous application gone") << true << "gone" << true << QStringList() << paste;
        QTest::newRow("not trusted: prompt, no keystroke")
            << true << "" << false << QStringList()
            << QStringList{"check trust", "log [AppState] Accessibility not trusted. Prompting user..."};
    }

    void delivers() {
        QFETCH(bool, autoPaste);
        QFETCH(QString, previous);
        QFETCH(bool, trusted);
        QFETCH(QStringList, activation);
        QFETCH(QStringList, later);
        const QString text = QStringLiteral("Hello wörld 👋");
        const QStringList atOnce =
            QStringList{"clear clipboard", "set clipboard " + text, "play Tink"} + activation;
        m_app->state.setAutoPaste(autoPaste);
        m_services.trusted = trusted;
        if (!previous.isEmpty()) {
            m_app->state.previousApp = std::make_shared<FakeApplication>(
                m_services.journal, previous == u'?' ? std::nullopt : std::optional(previous),
                previous == "gone");
        }
        m_deliverer->deliverText(text);
        QCOMPARE(m_services.journal, atOnce);
        QTRY_COMPARE(m_services.journal, atOnce + later);
        QTest::qWait(quietPeriodMs);
        QCOMPARE(m_services.journal, atOnce + later);
    }

    void pastesNothingOnceTheStateIsGone() {
        m_deliverer->deliverText(QStringLiteral(""));
        m_app.reset();
        QTest::qWait(quietPeriodMs);
        QCOMPARE(m_services.journal, (QStringList{"clear clipboard", "set clipboard ", "play Tink"}));
    }
};

QTEST_GUILESS_MAIN(PasteDelivererTest)
#include "tst_pastedeliverer.moc"
