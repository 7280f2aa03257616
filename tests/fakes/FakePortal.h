#pragma once

#include <QDBusConnection>
#include <QDBusVirtualObject>
#include <QStringList>

/// The desktop portal's GlobalShortcuts and RemoteDesktop interfaces as a test sees them, served on a
/// connection of its own to the session bus under the portal's name. Every request answers through a
/// Request object's Response signal, as the real portal does; what the client asked for is journalled.
class FakePortal : public QDBusVirtualObject {
    Q_OBJECT

public:
    FakePortal();
    ~FakePortal() override;

    /// The response code RemoteDesktop's Start answers with: 0 granted, 1 refused by the user.
    uint startResponse = 0;
    /// The trigger the desktop reports for every bound shortcut.
    QString reportedTrigger = QStringLiteral("Press Super+Shift+R");

    /// "create <interface>", "bind <id> <preferred trigger>", "start", "key <code> <state>", "close".
    QStringList journal;

    void activate(const QString& shortcutId, bool pressed);

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;

private:
    void respond(const QDBusMessage& call, uint response, const QVariantMap& results);

    QDBusConnection m_bus;
    QString m_shortcutSession;
};
