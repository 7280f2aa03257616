#pragma once

#include "platform/DesktopNotifications.h"

#include <QObject>

#include <functional>

/// Notifications through the desktop's notification server (org.freedesktop.Notifications on the session
/// bus), which the bus starts on demand where it is installed that way. The bus is joined on the first
/// message, so a program that never has to say anything does not connect.
class FreedesktopNotifications : public QObject, public DesktopNotifications {
    Q_OBJECT

public:
    /// unanswered shows a message the server did not take (no server, no bus), if given; it is called on the
    /// main thread after the failure has been logged. busAddress names the bus to use instead of the
    /// session bus.
    explicit FreedesktopNotifications(std::function<void(const QString&)> unanswered = {},
                                      QString busAddress = {});

    void notify(const QString& message) override;

private:
    std::function<void(const QString&)> m_unanswered;
    QString m_busAddress;
};
