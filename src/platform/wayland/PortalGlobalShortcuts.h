#pragma once

#include "platform/HotkeyService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>

#include <functional>
#include <memory>

/// The hotkey as the desktop portal's GlobalShortcuts interface holds it (KDE Plasma 5.27+, GNOME 48+,
/// Hyprland): each registration is a portal session with one shortcut, bound with the recorded combination
/// as the preferred trigger. The desktop may let the user confirm or change it and reports the trigger it
/// settled on. Its Activated signal is a press, its Deactivated signal the release.
class PortalGlobalShortcuts : public QObject, public HotkeyService {
    Q_OBJECT

public:
    explicit PortalGlobalShortcuts(QDBusConnection bus);
    ~PortalGlobalShortcuts() override;

    void installHandler(std::function<void()> onPressed, std::function<void()> onReleased) override;
    std::unique_ptr<HotkeyRegistration> registerHotkey(QKeyCombination combination) override;

    void setDesktopShortcutHandler(std::function<void(const DesktopShortcut&)> handler) override;
    const DesktopShortcut& status() const { return m_status; }
    /// Whether the shortcut was activated and has not been released since.
    bool isHeld() const { return m_held; }

    /// The portal's notation of a combination: "CTRL+SHIFT+r"; empty for a key it cannot name.
    static QString triggerOf(QKeyCombination combination);

private slots:
    // Signals are taken as whole messages: QtDBus does not connect these signatures to typed slots.
    void onActivated(const QDBusMessage& message);
    void onDeactivated(const QDBusMessage& message);
    void onShortcutsChanged(const QDBusMessage& message);

private:
    struct Session;

    void bind(const std::shared_ptr<Session>& session, const QString& trigger);
    void report(DesktopShortcut status);
    bool isCurrent(const QDBusMessage& message) const;

    QDBusConnection m_bus;
    std::function<void()> m_onPressed;
    std::function<void()> m_onReleased;
    std::function<void(const DesktopShortcut&)> m_statusHandler;
    std::weak_ptr<Session> m_current;
    DesktopShortcut m_status;
    bool m_held = false;
};
