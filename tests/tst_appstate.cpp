#include "core/AppState.h"
#include "log/Log.h"
#include "core/Startup.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeStages.h"
#include "platform/null/NullPlatform.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestAppState : public QObject {
    Q_OBJECT

private slots:
    void init();
    void firstLaunchRunsStartUpAndWritesNothing();
    void settingsPersistUnderTheirOwnNames();
    void equalAssignmentStillWritesAndRegisters();
    void storedKeyCodeAloneWritesAllThreeBack();
    void impossibleStoredHotkeyKeepsTheInitialOne_data();
    void impossibleStoredHotkeyKeepsTheInitialOne();

private:
    /// A fresh AppState over the settings file, as at a launch, with its start-up sequence run.
    std::unique_ptr<AppState> launch();
    /// Writes settings as a previous launch would have left them.
    void store(const QVariantMap& values);
    QSettings& settings() { return *m_settings; }

    QTemporaryDir m_dir;
    std::unique_ptr<QSettings> m_settings;
    QStringList m_calls;
    QStringList m_log;
    std::unique_ptr<FakeHotkeyRegistrar> m_hotkeys;
    NullSpeechRecognition m_speech;
    FakeTextDeliverer m_deliverer;
};

std::unique_ptr<AppState> TestAppState::launch() {
    m_settings =
        std::make_unique<QSettings>(m_dir.filePath(QStringLiteral("Murmuro.conf")), QSettings::IniFormat);
    auto state = std::make_unique<AppState>(*m_settings, QStringLiteral("de_CH"),
                                            [](AppState&) { return std::make_unique<NullOverlayWindow>(); });
    m_calls.clear();
    m_hotkeys = std::make_unique<FakeHotkeyRegistrar>(m_calls);
    startUp(*state, *m_hotkeys, m_speech, m_deliverer);
    m_settings->sync();
    return state;
}

void TestAppState::store(const QVariantMap& values) {
    QSettings stored(m_dir.filePath(QStringLiteral("Murmuro.conf")), QSettings::IniFormat);
    for (auto it = values.begin(); it != values.end(); ++it) {
        stored.setValue(it.key(), it.value());
    }
}

void TestAppState::init() {
    // QSettings caches a file while any instance of it is alive.
    m_settings.reset();
    QFile::remove(m_dir.filePath(QStringLiteral("Murmuro.conf")));
    m_log.clear();
    m_deliverer = FakeTextDeliverer();
    setLogSink([this](const QString& line) { m_log << line; });
}

void TestAppState::firstLaunchRunsStartUpAndWritesNothing() {
    m_deliverer.trusted = false;
    auto state = launch();
    QCOMPARE(m_calls, (QStringList{"install", "register"}));
    QCOMPARE(m_deliverer.permissionChecks, 1);
    // The authorisation answer is logged on the main thread, after start-up has returned.
    QVERIFY(m_log.isEmpty());
    QTRY_COMPARE(m_log, QStringList{QStringLiteral("[AppState] Speech authorization status: 2")});
    QCOMPARE(state->selectedMode(), AppState::Mode::smart);
    QVERIFY(state->autoPaste());
    QCOMPARE(state->ollamaHost(), QStringLiteral("http://127.0.0.1:11434"));
    QCOMPARE(state->modelName(), QStringLiteral("gpt-oss:120b-cloud"));
    QCOMPARE(state->hotkeyKeyCode(), quint16(15));
    QCOMPARE(state->hotkeyModifiers(), quint64(0x120000));
    QCOMPARE(state->hotkeyString(), QStringLiteral("\u2318\u21E7R"));
    QVERIFY(state->isBannedWordsEnabled());
    QCOMPARE(state->bannedWords(), AppState::defaultBannedWords);
    QCOMPARE(state->transcriptionLocale(), QStringLiteral("de_CH"));
    QCOMPARE(state->lastHotkeyTime, Clock::TimePoint::min());
    QVERIFY(!QFile::exists(settings().fileName()));
}

void TestAppState::settingsPersistUnderTheirOwnNames() {
    const QVariantMap persisted{{"isBannedWordsEnabled", false},
                                {"bannedWords", "delve, tapestry"},
                                {"selectedMicrophoneID", "alsa_input.usb-mic"},
                                {"transcriptionLocale", "en-GB"},
                                {"hotkeyKeyCode", 40},
                                {"hotkeyModifiers", 0x1C0000},
                                {"hotkeyString", "\u2303\u2325\u2318K"}};
    {
        auto state = launch();
        for (auto it = persisted.begin(); it != persisted.end(); ++it) {
            QVERIFY(state->setProperty(qPrintable(it.key()), it.value()));
        }
        // Mode, auto-paste, host and model last only for the session.
        state->setSelectedMode(AppState::Mode::radio);
        state->setAutoPaste(false);
        state->setOllamaHost(QStringLiteral("http://127.0.0.1:9"));
        state->setModelName(QStringLiteral("llama3"));
        QCOMPARE(settings().allKeys(), persisted.keys());
    }
    auto state = launch();
    for (auto it = persisted.begin(); it != persisted.end(); ++it) {
        QVERIFY2(state->property(qPrintable(it.key())) == it.value(), qPrintable(it.key()));
    }
    QCOMPARE(state->selectedMode(), AppState::Mode::smart);
    QVERIFY(state->autoPaste());
    QCOMPARE(state->ollamaHost(), AppState::defaultOllamaHost);
    QCOMPARE(state->modelName(), AppState::defaultModelName);
}

void TestAppState::equalAssignmentStillWritesAndRegisters() {
    auto state = launch();
    QSignalSpy announced(state.get(), &AppState::hotkeyKeyCodeChanged);
    m_calls.clear();
    state->setHotkeyKeyCode(state->hotkeyKeyCode());
    state->setHotkeyModifiers(state->hotkeyModifiers());
    state->setBannedWords(state->bannedWords());
    QCOMPARE(announced.count(), 1);
    QCOMPARE(m_calls, (QStringList{"register", "register"}));
    QCOMPARE(settings().value(QStringLiteral("hotkeyKeyCode")).toInt(), 15);
    QCOMPARE(settings().value(QStringLiteral("hotkeyModifiers")).toLongLong(), 0x120000);
    QCOMPARE(settings().value(QStringLiteral("bannedWords")).toString(), AppState::defaultBannedWords);
    QVERIFY(!settings().contains(QStringLiteral("hotkeyString")));
}

void TestAppState::storedKeyCodeAloneWritesAllThreeBack() {
    store({{"hotkeyKeyCode", 49}});
    auto state = launch();
    QCOMPARE(state->hotkeyKeyCode(), quint16(49));
    QCOMPARE(state->hotkeyModifiers(), quint64(0));
    QCOMPARE(settings().value(QStringLiteral("hotkeyModifiers")).toInt(), 0);
    QCOMPARE(settings().value(QStringLiteral("hotkeyString")).toString(), QStringLiteral("\u2318\u21E7R"));
    // Key code and modifiers each register before the handler is installed, then once more after it.
    QCOMPARE(m_calls, (QStringList{"register", "register", "install", "register"}));
}

void TestAppState::impossibleStoredHotkeyKeepsTheInitialOne_data() {
    QTest::addColumn<QVariant>("keyCode");
    QTest::addColumn<QVariant>("modifiers");
    QTest::newRow("key code too large") << QVariant(65536) << QVariant(0x100000);
    QTest::newRow("key code negative") << QVariant(-1) << QVariant(0x100000);
    QTest::newRow("modifiers negative") << QVariant(12) << QVariant(-5);
}

void TestAppState::impossibleStoredHotkeyKeepsTheInitialOne() {
    QFETCH(QVariant, keyCode);
    QFETCH(QVariant, modifiers);
    store({{"hotkeyKeyCode", keyCode}, {"hotkeyModifiers", modifiers}, {"hotkeyString", "bogus"}});
    auto state = launch();
    QCOMPARE(state->hotkeyKeyCode(), quint16(15));
    QCOMPARE(state->hotkeyModifiers(), quint64(0x120000));
    QCOMPARE(state->hotkeyString(), QStringLiteral("\u2318\u21E7R"));
    QCOMPARE(settings().value(QStringLiteral("hotkeyKeyCode")).toString(), keyCode.toString());
    QCOMPARE(m_calls, (QStringList{"install", "register"}));
}

QTEST_GUILESS_MAIN(TestAppState)
#include "tst_appstate.moc"
