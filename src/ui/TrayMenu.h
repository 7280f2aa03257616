#pragma once

#include "ui/MenuModel.h"

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

class AppState;
class DictationHistory;
class Pasteboard;
class SessionController;

/// The program's presence in the system tray: the status icon and its menu, redrawn from AppState whenever
/// something the menu shows changes. Beside the menu's fixed rows, a "Recent" submenu lists the last kept
/// dictations, read when it opens; choosing one puts its text on the clipboard.
class TrayMenu : public QObject {
    Q_OBJECT

public:
    /// What the menu cannot do by itself: the windows it opens and ending the program.
    struct WindowActions {
        std::function<void()> openSettings;
        std::function<void()> showAbout;
        std::function<void()> quit;
    };

    /// The dictations and the clipboard of the Recent submenu.
    struct Recent {
        DictationHistory& history;
        Pasteboard& pasteboard;
    };

    static constexpr qsizetype recentEntries = 10;

    TrayMenu(AppState& state, SessionController& controller, Recent recent, WindowActions windows);

    QMenu& menu() { return m_menu; }
    QSystemTrayIcon& trayIcon() { return m_trayIcon; }

private:
    void redraw();
    void perform(qsizetype index);
    void fillRecent();

    AppState& m_state;
    SessionController& m_controller;
    Recent m_recent;
    WindowActions m_windows;
    MenuDescription m_description;
    QMenu m_menu;
    QList<QAction*> m_rows;
    QMenu m_recentMenu;
    QSystemTrayIcon m_trayIcon;
};
