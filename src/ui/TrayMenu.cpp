#include "ui/TrayMenu.h"

#include "core/AppState.h"
#include "core/SessionController.h"
#include "ui/StatusIcon.h"

#include <QAction>
#include <QCursor>

TrayMenu::TrayMenu(AppState& state, SessionController& controller, WindowActions windows)
    : m_state(state)
    , m_controller(controller)
    , m_windows(std::move(windows)) {
    connect(&m_state, &AppState::recordingStateChanged, this, &TrayMenu::redraw);
    connect(&m_state, &AppState::selectedModeChanged, this, &TrayMenu::redraw);
    connect(&m_state, &AppState::autoPasteChanged, this, &TrayMenu::redraw);
    connect(&m_state, &AppState::hotkeyStringChanged, this, &TrayMenu::redraw);
    redraw();

    m_trayIcon.setContextMenu(&m_menu);
    // A menu-bar menu opens on a plain click, too.
    connect(&m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger) {
            m_menu.popup(QCursor::pos());
        }
    });

    // Qt embeds the icon in a tray that starts (or restarts) later by itself.
    m_trayIcon.show();
}

void TrayMenu::redraw() {
    m_description = describeMenu(m_state.recordingState(), m_state.selectedMode(), m_state.autoPaste(),
                                 m_state.hotkeyString());

    // The rows never change in number, so the actions are kept and updated; replacing them would delete the
    // action whose click caused this redraw.
    QList<QAction*> actions = m_menu.actions();
    if (actions.size() != m_description.items.size()) {
        m_menu.clear();
        actions.clear();
        for (qsizetype index = 0; index < m_description.items.size(); ++index) {
            QAction* action = m_menu.addAction(QString());
            connect(action, &QAction::triggered, this, [this, index] { perform(index); });
            actions.append(action);
        }
    }
    for (qsizetype index = 0; index < actions.size(); ++index) {
        const MenuItem& item = m_description.items[index];
        QAction* action = actions[index];
        action->setSeparator(item.separator);
        action->setText(item.title);
        action->setCheckable(item.checked);
        action->setChecked(item.checked);
        action->setEnabled(item.enabled);
    }

    m_trayIcon.setIcon(statusIcon(m_description.statusLabel));
    m_trayIcon.setToolTip(m_description.statusLabel);
}

void TrayMenu::perform(qsizetype index) {
    const MenuItem item = m_description.items.value(index);
    switch (item.command) {
    case MenuCommand::none:
        break;
    case MenuCommand::selectMode:
        m_state.setSelectedMode(item.mode);
        break;
    case MenuCommand::startDictation:
        m_controller.startDictation();
        break;
    case MenuCommand::stopDictation:
        m_controller.stopDictation();
        break;
    case MenuCommand::toggleAutoPaste:
        m_state.setAutoPaste(!m_state.autoPaste());
        break;
    case MenuCommand::openSettings:
        m_windows.openSettings();
        break;
    case MenuCommand::showAbout:
        m_windows.showAbout();
        break;
    case MenuCommand::quit:
        m_windows.quit();
        break;
    }
}
