#pragma once

#include "core/Stages.h"

// Stages that do nothing and produce nothing, for tests that need a controller but not its pipeline: a
// dictation ends quietly at the first of them.

class NullRecorder : public Recorder {
public:
    void startRecording(RecordingDelegate&) override {}
};

class NullTranscriber : public Transcriber {
public:
    void transcribeAudio(const QString&, TextResultHandler done) override { done(std::nullopt); }
};

class NullTranscriptRewriter : public TranscriptRewriter {
public:
    void rewriteTranscript(const QString&, const QString&, const QString&, const QString&,
                           TextResultHandler done) override {
        done(std::nullopt);
    }
};

class NullTextDeliverer : public TextDeliverer {
public:
    void deliverText(const QString&) override {}
    bool checkAccessibilityPermission() override { return false; }
};

class NullHotkeyRegistrar : public HotkeyRegistrar {
public:
    void installHotkeyHandler() override {}
    void registerHotkey() override {}
};
