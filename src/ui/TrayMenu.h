#pragma once

#include "ui/MenuModel.h"

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

class AppState;
class SessionController;

/// The program's presence in the system tray: the status icon and its menu, redrawn from AppState whenever
/// something the menu shows changes.
class TrayMenu : public QObject {
    Q_OBJECT

public:
    /// What the menu cannot do by itself: the windows it opens and ending the program.
    struct WindowActions {
        std::function<void()> openSettings;
        std::function<void()> showAbout;
        std::function<void()> quit;
    };

    TrayMenu(AppState& state, SessionController& controller, WindowActions windows);

    QMenu& menu() { return m_menu; }
    QSystemTrayIcon& trayIcon() { return m_trayIcon; }

private:
    void redraw();
    void perform(qsizetype index);

    AppState& m_state;
    SessionController& m_controller;
    WindowActions m_windows;
    MenuDescription m_description;
    QMenu m_menu;
    QSystemTrayIcon m_trayIcon;
};
