#include "core/Prompts.h"
#include "core/Startup.h"
#include "fakes/FakeSpeechRecognition.h"
#include "fakes/FakeStages.h"

#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace std::chrono_literals;

// As the chat client says it.
const QString chatFailure = QStringLiteral("The chat server at http://127.0.0.1:11434 did not answer");

struct SomeOverlay : OverlayWindow {
    OverlayState currentState() const override { return OverlayState::recording; }
};

// The dictation core: AppState and its start-up, the session controller and the system prompt it sends.
class TestCore : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeDictation> m_d;
    FakeHotkeyRegistrar m_hotkeys;
    FakeSpeechRecognition m_speech;

    QString recordingFile() const {
        return m_d->app.directory.filePath(QStringLiteral("murmo_recording.m4a"));
    }
    void pressHotkey() { m_d->controller->toggleRecording(); }
    void startRecording() {
        m_d->controller->startDictation();
        QTRY_COMPARE(m_d->state.recordingState(), RecordingState::recording);
    }
    /// Has the recorder report the file it finished, or an error.
    void reportFinished(const std::optional<QString>& error = std::nullopt) {
        QVERIFY(QFile(recordingFile()).open(QIODevice::WriteOnly));
        m_d->controller->recordingDidFinish(recordingFile(), error);
    }

    /// Another launch over the same settings, with its start-up sequence run.
    std::unique_ptr<AppState> launch() {
        auto state = std::make_unique<AppState>(m_d->app.settings, QStringLiteral("de_CH"));
        m_hotkeys.calls.clear();
        startUp(*state, m_hotkeys, m_speech, m_d->deliverer);
        return state;
    }

private slots:
    void init() { m_d = std::make_unique<FakeDictation>(); }

    void firstLaunchStartsUpAndWritesNothing() {
        m_speech.status = SpeechRecognition::AuthorizationStatus::restricted;
        auto state = launch();
        QCOMPARE(m_hotkeys.calls, (QStringList{"install", "register"}));
        QCOMPARE(m_d->deliverer.permissionChecks, 1);
        QCOMPARE(state->transcriptionLocale(), QStringLiteral("de_CH"));
        // The authorisation answer is logged on the main thread, after start-up has returned.
        QVERIFY(m_d->app.log.isEmpty());
        QTRY_COMPARE(m_d->app.log, QStringList{QStringLiteral("[AppState] Speech authorization status: 2")});
        m_d->app.settings.sync();
        QVERIFY(!QFile::exists(m_d->app.settings.fileName()));
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
        QVariantMap assigned = persisted;
        assigned.insert(sessionOnly);
        std::unique_ptr<AppState> state = launch();
        for (auto it = assigned.begin(); it != assigned.end(); ++it) {
            QVERIFY(state->setProperty(qPrintable(it.key()), it.value()));
        }
        QCOMPARE(m_d->app.settings.allKeys(), persisted.keys());
        // The next launch reads the persisted ones back; the others start afresh.
        state = launch();
        for (auto it = assigned.begin(); it != assigned.end(); ++it) {
            QVERIFY2((state->property(qPrintable(it.key())) == it.value()) == persisted.contains(it.key()),
                     qPrintable(it.key()));
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
        QCOMPARE(m_d->app.settings.allKeys(),
                 (QStringList{"bannedWords", "hotkeyKeyCode", "hotkeyModifiers"}));
    }

    // A stored key code comes back with the stored modifiers, or none, and all three are written back; a key
    // code outside 0..65535 or negative modifiers cannot have come from this program.
    void storedHotkeyIsLoadedWhenItCanBeOurs() {
        m_d->app.settings.setValue("hotkeyKeyCode", 49);
        auto state = launch();
        QCOMPARE(state->hotkeyKeyCode(), quint16(49));
        QCOMPARE(m_d->app.settings.value("hotkeyModifiers").toInt(), 0);
        QCOMPARE(m_d->app.settings.value("hotkeyString").toString(), AppState::defaultHotkeyString);
        // Key code and modifiers each register before the handler is installed, then once more after it.
        QCOMPARE(m_hotkeys.calls, (QStringList{"register", "register", "install", "register"}));
        for (const auto& [keyCode, modifiers] : {std::pair{65536, 0x100000}, {-1, 0x100000}, {12, -5}}) {
            m_d->app.settings.setValue("hotkeyKeyCode", keyCode);
            m_d->app.settings.setValue("hotkeyModifiers", modifiers);
            state = launch();
            QCOMPARE(state->hotkeyKeyCode(), AppState::defaultHotkeyKeyCode);
            QCOMPARE(state->hotkeyModifiers(), AppState::defaultHotkeyModifiers);
            QCOMPARE(m_d->app.settings.value("hotkeyKeyCode"), keyCode);
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
        for (RecordingState state : {RecordingState::recording, RecordingState::processing,
                                     RecordingState::idle, RecordingState::recording}) {
            app.state.setRecordingState(state);
        }
        QCOMPARE(made, 1);
    }

    // Every mode is found by its exact label only and has a prompt of its own (literal none), which leads
    // the system prompt, followed by the guidelines and the banned words trimmed at the ends.
    void modesAndTheirSystemPrompts() {
        const QString guidelines = QString::fromUtf8(TextProcessingGuidelines);
        const QString rule = QString::fromUtf8(BannedWordsRule);
        QSet<QString> labels, prompts;
        for (DictationMode mode : allModes()) {
            labels << rawValue(mode);
            QCOMPARE(modeFromRawValue(rawValue(mode)), std::optional(mode));
            const std::optional<QString> prompt = promptTableEntry(mode);
            QCOMPARE(prompt.has_value(), mode != DictationMode::literal);
            if (prompt) {
                prompts << *prompt;
                QCOMPARE(composeSystemPrompt(mode, true, " delve \n"),
                         *prompt + "\n\n" + guidelines + rule + "delve");
            }
        }
        QCOMPARE(labels.size(), 13);
        QCOMPARE(prompts.size(), 12);
        for (const char* near : {"Smart", "smart \u2728", "Zero \u2699", ""}) {
            QCOMPARE(modeFromRawValue(QString::fromUtf8(near)), std::nullopt);
        }
        QVERIFY(rule.startsWith(QStringLiteral("\n\nCRITICAL RULE: ")) && rule.endsWith(u' '));
        const QString bare = *promptTableEntry(DictationMode::gonzo) + QStringLiteral("\n\n") + guidelines;
        QCOMPARE(composeSystemPrompt(DictationMode::gonzo, false, AppState::defaultBannedWords), bare);
        QCOMPARE(composeSystemPrompt(DictationMode::gonzo, true, QStringLiteral(" \n\t \u00A0\r\n ")), bare);
        QCOMPARE(composeSystemPrompt(DictationMode::gonzo, true, "a,B ,\nc d"), bare + rule + "a,B ,\nc d");
    }

    void hotkeyWalk() {
        QStringList journal;
        // A start from the menu does not arm the guard: a press right after it stops the recording.
        m_d->clock.advance(600ms);
        startRecording();
        auto browser = std::make_shared<FakeApplication>(journal, "Browser");
        m_d->workspace.frontmost = browser;
        m_d->clock.advance(10ms);
        pressHotkey();
        QCOMPARE(m_d->state.previousApp, std::shared_ptr<RunningApplication>(browser));
        QCOMPARE(m_d->state.recordingState(), RecordingState::processing);
        QCOMPARE(m_d->recorder.stops, 1);

        // A press during processing only moves the guard.
        m_d->clock.advance(1s);
        pressHotkey();
        QCOMPARE(m_d->state.lastHotkeyTime, m_d->clock.now());

        // A failed recording is logged and ends the dictation; its file is left alone.
        reportFinished(QStringLiteral("The device was unplugged."));
        QCOMPARE(m_d->app.log, QStringList{QStringLiteral("Recording error: The device was unplugged.")});
        QCOMPARE(
            m_d->desktop.journal,
            QStringList{
                "notify The recording failed: The device was unplugged. Check Settings \u2192 Microphone."});
        QCOMPARE(m_d->state.recordingState(), RecordingState::idle);
        QVERIFY(QFile::exists(recordingFile()) && m_d->transcriber.urls.isEmpty());

        // 0.3 s after the press during processing is still within the guard; 0.6 s is not.
        m_d->clock.advance(300ms);
        pressHotkey();
        QTest::qWait(20);
        QCOMPARE(m_d->recorder.starts, 1);
        m_d->clock.advance(300ms);
        pressHotkey();
        QTRY_COMPARE(m_d->state.recordingState(), RecordingState::recording);
        m_d->clock.advance(500ms); // exactly 0.5 s after the accepted press: still too early
        pressHotkey();
        QCOMPARE(m_d->state.recordingState(), RecordingState::recording);
        m_d->clock.advance(1ms);
        pressHotkey();
        QCOMPARE(m_d->state.recordingState(), RecordingState::processing);
    }

    // Held to talk: a long hold is a dictation, a tap drops its recording unheard, and the toggle's 0.5 s
    // guard takes no part.
    void holdToTalk() {
        m_d->state.setHotkeyMode(AppState::HotkeyMode::hold);
        QCOMPARE(m_d->app.settings.value("hotkeyMode"), QVariant("hold"));
        QCOMPARE(launch()->hotkeyMode(), AppState::HotkeyMode::hold);
        m_d->app.settings.setValue("hotkeyMode", "sometimes");
        QCOMPARE(launch()->hotkeyMode(), AppState::HotkeyMode::toggle);

        m_d->controller->startHoldToTalk();
        QTRY_COMPARE(m_d->state.recordingState(), RecordingState::recording);
        m_d->clock.advance(1s);
        m_d->controller->endHoldToTalk();
        QCOMPARE(m_d->state.recordingState(), RecordingState::processing);
        reportFinished();
        QCOMPARE(m_d->transcriber.urls, QStringList{recordingFile()});
        m_d->transcriber.answer(std::nullopt);
        QTRY_COMPARE(m_d->state.recordingState(), RecordingState::idle);

        m_d->clock.advance(10ms);
        m_d->controller->startHoldToTalk();
        QTRY_COMPARE(m_d->state.recordingState(), RecordingState::recording);
        m_d->clock.advance(299ms);
        m_d->controller->endHoldToTalk();
        QCOMPARE(m_d->recorder.stops, 2);
        reportFinished();
        QCOMPARE(m_d->transcriber.urls.size(), 1);
        QTRY_COMPARE(m_d->state.recordingState(), RecordingState::idle);
        QVERIFY(!QFile::exists(recordingFile()) && m_d->deliverer.delivered.isEmpty());
    }

    void nothingStartsWithoutMicrophoneOrInput() {
        m_d->microphone.granted = false;
        m_d->controller->startDictation();
        QTest::qWait(20);
        QCOMPARE(m_d->recorder.starts, 0);

        m_d->microphone.granted = true;
        m_d->recorder.hasInput = false;
        m_d->controller->startDictation();
        QTRY_COMPARE(m_d->recorder.starts, 1);
        m_d->controller->stopDictation();
        QCOMPARE(m_d->state.recordingState(), RecordingState::idle);
        QCOMPARE(m_d->recorder.stops, 0);
        QCOMPARE(m_d->desktop.journal,
                 QStringList{"notify No microphone found. Check Settings \u2192 Microphone."});
        QVERIFY(m_d->rewriter.loads.isEmpty());
    }

    void transcriptOutcome_data() {
        QTest::addColumn<bool>("literal");
        QTest::addColumn<QVariant>("transcript"); // null: the stage answers with nothing
        QTest::addColumn<QVariant>("reply");
        QTest::addColumn<QStringList>("delivered");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("kept"); // the kept text and the failure, if any, of the dictation
        const QString spoken = QStringLiteral("  **so** it goes ");
        const QString failed = chatFailure;
        QTest::newRow("literal: transcript untouched")
            << true << QVariant(spoken) << QVariant() << QStringList{spoken} << QString() << spoken;
        QTest::newRow("rewritten reply")
            << false << QVariant(spoken) << QVariant("So.") << QStringList{"So."} << QString() << "So.";
        QTest::newRow("empty reply still delivered")
            << false << QVariant(spoken) << QVariant("") << QStringList{""} << QString() << "";
        QTest::newRow("chat failure: transcript kept")
            << false << QVariant(spoken) << QVariant() << QStringList()
            << failed + "; the transcript is in Recent." << spoken + ' ' + failed + '.';
        QTest::newRow("empty transcript")
            << false << QVariant("") << QVariant() << QStringList() << "No speech was heard." << QString();
        QTest::newRow("no transcript")
            << false << QVariant() << QVariant() << QStringList()
            << "Speech recognition failed: no model. Try the dictation again." << QString();
    }

    // Every ending: what is delivered, logged, kept in the history and said in one notification.
    void transcriptOutcome() {
        QFETCH(bool, literal);
        QFETCH(QVariant, transcript);
        QFETCH(QVariant, reply);
        QFETCH(QStringList, delivered);
        QFETCH(QString, notice);
        QFETCH(QString, kept);
        const auto answer = [](const QVariant& value) {
            return value.isNull() ? std::nullopt : std::optional(value.toString());
        };
        m_d->state.setSelectedMode(literal ? DictationMode::literal : DictationMode::smart);
        startRecording();
        QCOMPARE(m_d->rewriter.loads,
                 literal ? QStringList()
                         : QStringList{AppState::defaultOllamaHost + u' ' + AppState::defaultModelName});
        m_d->controller->stopDictation();
        reportFinished();
        m_d->transcriber.answer(answer(transcript),
                                transcript.isNull() ? "Speech recognition failed: no model" : "");
        const bool rewrites = !literal && !transcript.toString().isEmpty();
        QCOMPARE(m_d->rewriter.requests.size(), size_t(rewrites));
        if (rewrites) {
            QCOMPARE(m_d->rewriter.requests[0].transcript, transcript.toString());
            m_d->rewriter.answer(answer(reply), reply.isNull() ? chatFailure : QString());
        }
        QCOMPARE(m_d->deliverer.delivered, delivered);
        QCOMPARE(m_d->desktop.journal, notice.isEmpty() ? QStringList() : QStringList{"notify " + notice});
        const QList<DictationRecord> records = m_d->history.records();
        QCOMPARE(records.size(), qsizetype(!transcript.toString().isEmpty()));
        if (!records.isEmpty()) {
            QCOMPARE(records[0].transcript, transcript.toString());
            QCOMPARE(records[0].finalText.value_or(records[0].transcript + ' ') + records[0].failure, kept);
        }
        QCOMPARE(m_d->app.log,
                 transcript.toString().isEmpty()
                     ? QStringList()
                     : QStringList{QStringLiteral("[AppState] Transcription: ") + transcript.toString()});
        // The clean-up is a task of its own, after the delivery.
        QCOMPARE(m_d->state.recordingState(), RecordingState::processing);
        QTRY_COMPARE(m_d->state.recordingState(), RecordingState::idle);
        QVERIFY(!QFile::exists(recordingFile()));
    }

    void historyTurnedOffKeepsNothingAndSaysSo() {
        m_d->state.setHistoryEnabled(false);
        QCOMPARE(m_d->app.settings.value("historyEnabled").toString(), QStringLiteral("false"));
        startRecording();
        m_d->controller->stopDictation();
        reportFinished();
        m_d->transcriber.answer(QStringLiteral("text"));
        m_d->rewriter.answer(std::nullopt, "The chat server at http://127.0.0.1:9 did not answer");
        QCOMPARE(m_d->desktop.journal, QStringList{"notify The chat server at http://127.0.0.1:9 did not "
                                                   "answer. Check Settings \u2192 Ollama."});
        QVERIFY(m_d->history.records().isEmpty());
    }

    void inputsAreTakenWhenTheFileIsFinished() {
        m_d->state.setSelectedMode(DictationMode::gonzo);
        m_d->state.setOllamaHost(QStringLiteral("http://127.0.0.1:1111"));
        m_d->state.setModelName(QStringLiteral("first"));
        startRecording();
        m_d->controller->stopDictation();
        reportFinished();
        // Changed while transcribing: mode, host and model no longer count, the banned words do, and the
        // vocabulary, which is for the recogniser, never reaches the chat server.
        m_d->state.setVocabulary(QStringLiteral("Okonkwo\nKubernetes"));
        m_d->state.setSelectedMode(DictationMode::literal);
        m_d->state.setOllamaHost(QStringLiteral("http://127.0.0.1:2222"));
        m_d->state.setModelName(QStringLiteral("second"));
        m_d->state.setBannedWords(QStringLiteral("verily"));
        m_d->transcriber.answer(QStringLiteral("text"));

        QCOMPARE(m_d->rewriter.requests.size(), size_t(1));
        const FakeTranscriptRewriter::Request& request = m_d->rewriter.requests[0];
        QCOMPARE(request.host, QStringLiteral("http://127.0.0.1:1111"));
        QCOMPARE(request.model, QStringLiteral("first"));
        QCOMPARE(request.transcript, QStringLiteral("text"));
        QCOMPARE(request.systemPrompt,
                 composeSystemPrompt(DictationMode::gonzo, true, QStringLiteral("verily")));
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
