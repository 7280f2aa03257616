#pragma once

#include "platform/SystemSound.h"

struct ca_context;

/// Plays feedback sounds from the freedesktop sound theme through libcanberra. Without a sound server,
/// a sound card or the theme the sounds are silent.
class CanberraSystemSound : public SystemSound {
public:
    CanberraSystemSound();
    ~CanberraSystemSound() override;
    CanberraSystemSound(const CanberraSystemSound&) = delete;
    CanberraSystemSound& operator=(const CanberraSystemSound&) = delete;

    /// Takes the program's sound names ("Tink") and plays the theme event that stands for each.
    void play(const QString& name) override;

private:
    ca_context* m_context = nullptr;
};
