#pragma once

#include <QString>

/// Short messages the desktop shows outside the program's own windows, for what the user has to know
/// although no window of ours is open: a dictation that ended without text, a hotkey that cannot be had.
class DesktopNotifications {
public:
    virtual ~DesktopNotifications() = default;

    /// One line naming the cause and the next step. Returns at once; a message that cannot be shown is
    /// logged and dropped.
    virtual void notify(const QString& message) = 0;
};
