#pragma once

#include "platform/DesktopNotifications.h"

#include <QObject>

/// Notifications through the desktop's notification server (org.freedesktop.Notifications on the session
/// bus), which the bus starts on demand where it is installed that way. The bus is joined on the first
/// message, so a program that never has to say anything does not connect.
class FreedesktopNotifications : public QObject, public DesktopNotifications {
    Q_OBJECT

public:
    /// busAddress names a bus to use instead of the session bus. A message that no server takes (no server,
    /// no bus) is logged.
    explicit FreedesktopNotifications(QString busAddress = {});

    void notify(const QString& message) override;

private:
    QString m_busAddress;
};
