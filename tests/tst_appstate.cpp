#include "core/Startup.h"
#include "fakes/FakeSpeechRecognition.h"
#include "fakes/FakeStages.h"
#include "log/Log.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

struct SomeOverlay : OverlayWindow {
    OverlayState currentState() const override { return OverlayState::recording; }
};

class TestAppStateSuite : public QObject {
    Q_OBJECT

    std::unique_ptr<TestAppState> m_app;
    FakeHotkeyRegistrar m_hotkeys;
    FakeSpeechRecognition m_speech;
    FakeTextDeliverer m_deliverer;
    QStringList m_log;

    /// Another launch over the same settings, with its start-up sequence run.
    std::unique_ptr<AppState> launch() {
        auto state = std::make_unique<AppState>(m_app->settings, QStringLiteral("de_CH"));
        m_hotkeys.calls.clear();
        startUp(*state, m_hotkeys, m_speech, m_deliverer);
        return state;
    }

private slots:
    void init() {
        m_app = std::make_unique<TestAppState>();
        m_log.clear();
        setLogSink([this](const QString& line) { m_log << line; });
    }

    void cleanup() { setLogSink({}); }

    void firstLaunchStartsUpAndWritesNothing() {
        m_speech.status = SpeechRecognition::AuthorizationStatus::restricted;
        auto state = launch();
        QCOMPARE(m_hotkeys.calls, (QStringList{"install", "register"}));
        QCOMPARE(m_deliverer.permissionChecks, 1);
        QCOMPARE(state->transcriptionLocale(), QStringLiteral("de_CH"));
        // The authorisation answer is logged on the main thread, after start-up has returned.
        QVERIFY(m_log.isEmpty());
        QTRY_COMPARE(m_log, QStringList{QStringLiteral("[AppState] Speech authorization status: 2")});
        m_app->settings.sync();
        QVERIFY(!QFile::exists(m_app->settings.fileName()));
    }

    void sevenSettingsPersistUnderTheirOwnNames() {
        const QVariantMap persisted{{"isBannedWordsEnabled", false},
                                    {"bannedWords", "delve, tapestry"},
                                    {"selectedMicrophoneID", "alsa_input.usb-mic"},
                                    {"transcriptionLocale", "en-GB"},
                                    {"hotkeyKeyCode", 40},
                                    {"hotkeyModifiers", 0x1C0000},
                                    {"hotkeyString", "\u2303\u2325\u2318K"}};
        const QVariantMap sessionOnly{{"selectedMode", QVariant::fromValue(DictationMode::radio)},
                                      {"autoPaste", false},
                                      {"ollamaHost", "http://127.0.0.1:9"},
                                      {"modelName", "llama3"}};
        {
            auto state = launch();
            for (const QVariantMap& values : {persisted, sessionOnly}) {
                for (auto it = values.begin(); it != values.end(); ++it) {
                    QVERIFY(state->setProperty(qPrintable(it.key()), it.value()));
                }
            }
            QCOMPARE(m_app->settings.allKeys(), persisted.keys());
        }
        auto state = launch();
        for (auto it = persisted.begin(); it != persisted.end(); ++it) {
            QVERIFY2(state->property(qPrintable(it.key())) == it.value(), qPrintable(it.key()));
        }
        for (auto it = sessionOnly.begin(); it != sessionOnly.end(); ++it) {
            QVERIFY2(state->property(qPrintable(it.key())) != it.value(), qPrintable(it.key()));
        }
    }

    void equalAssignmentStillWritesAnnouncesAndRegisters() {
        auto state = launch();
        QSignalSpy announced(state.get(), &AppState::hotkeyKeyCodeChanged);
        m_hotkeys.calls.clear();
        state->setHotkeyKeyCode(state->hotkeyKeyCode());
        state->setHotkeyModifiers(state->hotkeyModifiers());
        state->setBannedWords(state->bannedWords());
        QCOMPARE(announced.count(), 1);
        QCOMPARE(m_hotkeys.calls, (QStringList{"register", "register"}));
        QCOMPARE(m_app->settings.allKeys(), (QStringList{"bannedWords", "hotkeyKeyCode", "hotkeyModifiers"}));
    }

    void storedKeyCodeAloneWritesAllThreeBack() {
        m_app->settings.setValue("hotkeyKeyCode", 49);
        auto state = launch();
        QCOMPARE(state->hotkeyKeyCode(), quint16(49));
        QCOMPARE(state->hotkeyModifiers(), quint64(0));
        QCOMPARE(m_app->settings.value("hotkeyModifiers").toInt(), 0);
        QCOMPARE(m_app->settings.value("hotkeyString").toString(), AppState::defaultHotkeyString);
        // Key code and modifiers each register before the handler is installed, then once more after it.
        QCOMPARE(m_hotkeys.calls, (QStringList{"register", "register", "install", "register"}));
    }

    void impossibleStoredHotkeyKeepsTheInitialOne() {
        // A key code outside 0..65535 or negative modifiers cannot have come from this program.
        for (const auto& [keyCode, modifiers] : {std::pair{65536, 0x100000}, {-1, 0x100000}, {12, -5}}) {
            m_app->settings.setValue("hotkeyKeyCode", keyCode);
            m_app->settings.setValue("hotkeyModifiers", modifiers);
            auto state = launch();
            QCOMPARE(state->hotkeyKeyCode(), AppState::defaultHotkeyKeyCode);
            QCOMPARE(state->hotkeyModifiers(), AppState::defaultHotkeyModifiers);
            QCOMPARE(m_app->settings.value("hotkeyKeyCode"), keyCode);
            QCOMPARE(m_hotkeys.calls, (QStringList{"install", "register"}));
        }
    }

    void overlayIsMadeOnceWhenADictationFirstLeavesIdle() {
        int made = 0;
        TestAppState app([&made](AppState&) {
            ++made;
            return std::make_unique<SomeOverlay>();
        });
        app.state.setRecordingState(RecordingState::idle);
        QCOMPARE(made, 0);
        app.state.setRecordingState(RecordingState::recording);
        app.state.setRecordingState(RecordingState::processing);
        app.state.setRecordingState(RecordingState::idle);
        app.state.setRecordingState(RecordingState::recording);
        QCOMPARE(made, 1);
        // Without a factory there is no overlay to see.
        TestAppState bare;
        bare.state.setRecordingState(RecordingState::recording);
        QCOMPARE(bare.state.overlay().currentState(), OverlayState::hidden);
    }
};

QTEST_GUILESS_MAIN(TestAppStateSuite)
#include "tst_appstate.moc"
