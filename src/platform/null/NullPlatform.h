#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/AudioCapture.h"
#include "platform/DesktopNotifications.h"
#include "platform/HotkeyService.h"
#include "platform/KeyboardEvents.h"
#include "platform/MicrophonePermission.h"
#include "platform/OverlaySurface.h"
#include "platform/Pasteboard.h"
#include "platform/SystemSound.h"
#include "platform/Workspace.h"

// Services for a desktop that lacks them: each does nothing and returns nothing, so the program still runs.

class NullAudioCapture : public AudioCapture {
public:
    void prepare() override {}
    QList<AudioInputDevice> inputDevices() const override { return {}; }
    void setDevicesChangedHandler(std::function<void()>) override {}
    std::unique_ptr<CaptureSession> startRecording(const QString&, const QString&, FinishHandler,
                                                   LevelHandler, SampleHandler) override {
        return nullptr;
    }
};

class NullMicrophonePermission : public MicrophonePermission {
public:
    void requestAccess(std::function<void(bool)> answer) override { answer(false); }
};

class NullPasteboard : public Pasteboard {
public:
    void clearContents() override {}
    void setString(const QString&) override {}
};

class NullSystemSound : public SystemSound {
public:
    void play(const QString&) override {}
};

class NullWorkspace : public Workspace {
public:
    std::shared_ptr<RunningApplication> frontmostApplication() override { return nullptr; }
};

class NullAccessibilityTrust : public AccessibilityTrust {
public:
    bool isTrustedPromptingUser() override { return false; }
};

class NullKeyboardEvents : public KeyboardEvents {
public:
    void postPasteKeystroke() override {}
};

class NullHotkeyService : public HotkeyService {
public:
    void installHandler(std::function<void()>, std::function<void()>) override {}
    std::unique_ptr<HotkeyRegistration> registerHotkey(QKeyCombination) override { return nullptr; }
};

class NullDesktopNotifications : public DesktopNotifications {
public:
    void notify(const QString&) override {}
};

class NullOverlaySurface : public OverlaySurface {
public:
    void show(const QImage&) override {}
    void hide() override {}
};
