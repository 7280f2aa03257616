#pragma once

#include "platform/MicrophonePermission.h"

/// Linux desktops have no per-application microphone permission: access is always granted.
class GrantedMicrophonePermission : public MicrophonePermission {
public:
    void requestAccess(std::function<void(bool)> answer) override { answer(true); }
};
