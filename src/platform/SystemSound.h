#pragma once

#include <QString>

/// Short feedback sounds. A sound that does not exist plays as silence.
class SystemSound {
public:
    virtual ~SystemSound() = default;

    /// Returns at once; the sound plays in the background.
    virtual void play(const QString& name) = 0;
};
