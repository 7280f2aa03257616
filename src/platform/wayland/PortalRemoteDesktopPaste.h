#pragma once

#include "platform/wayland/PasteMethod.h"

#include <QDBusConnection>
#include <QObject>

#include <vector>

/// The paste sent through the desktop portal's RemoteDesktop interface (GNOME, KDE Plasma): a session with a
/// keyboard, started on the first paste, when the desktop asks the user once; then Ctrl+V as key codes.
/// A refusal holds for the rest of the run.
class PortalRemoteDesktopPaste : public QObject, public PasteMethod {
    Q_OBJECT

public:
    explicit PortalRemoteDesktopPaste(QDBusConnection bus);

    QString name() const override { return QStringLiteral("the RemoteDesktop portal"); }
    bool isAvailable() const override { return m_state != State::refused; }
    void paste(bool withShift, Done done) override;

private slots:
    void onSessionClosed();

private:
    enum class State { idle, starting, started, refused };
    struct Pending {
        bool withShift;
        Done done;
    };

    void startSession();
    void selectKeyboard();
    void start();
    void fail(const QString& why);
    void sendKeys(bool withShift);
    void notifyKey(int keycode, bool pressed);

    QDBusConnection m_bus;
    State m_state = State::idle;
    QString m_session;
    std::vector<Pending> m_pending;
};
