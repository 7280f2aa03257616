#include "ui/TrayMenu.h"

#include "core/AppState.h"
#include "core/SessionController.h"
#include "history/DictationHistory.h"
#include "platform/Pasteboard.h"
#include "ui/StatusIcon.h"

#include <QAction>
#include <QCursor>

#include <algorithm>

TrayMenu::TrayMenu(AppState& state, SessionController& controller, Recent recent, WindowActions windows)
    : m_state(state)
    , m_controller(controller)
    , m_recent(recent)
    , m_windows(std::move(windows))
    , m_recentMenu(QStringLiteral("Recent")) {
    connect(&m_state, &AppState::recordingStateChanged, this, &TrayMenu::redraw);
    connect(&m_state, &AppState::selectedModeChanged, this, &TrayMenu::redraw);
    connect(&m_state, &AppState::autoPasteChanged, this, &TrayMenu::redraw);
    connect(&m_state, &AppState::hotkeyStringChanged, this, &TrayMenu::redraw);
    redraw();

    // Above the settings, where the windows and the other things that are not a dictation begin.
    const auto settings = std::ranges::find_if(
        m_description.items, [](const MenuItem& item) { return item.command == MenuCommand::openSettings; });
    m_menu.insertMenu(m_rows.value(settings - m_description.items.begin()), &m_recentMenu);
    m_recentMenu.menuAction()->setVisible(m_state.historyEnabled());
    connect(&m_state, &AppState::historyEnabledChanged, m_recentMenu.menuAction(), &QAction::setVisible);
    connect(&m_recentMenu, &QMenu::aboutToShow, this, &TrayMenu::fillRecent);

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

    // The rows never change in number, so the actions are made once and updated; replacing them would delete
    // the action whose click caused this redraw.
    for (qsizetype index = m_rows.size(); index < m_description.items.size(); ++index) {
        QAction* action = m_menu.addAction(QString());
        connect(action, &QAction::triggered, this, [this, index] { perform(index); });
        m_rows.append(action);
    }
    for (qsizetype index = 0; index < m_rows.size(); ++index) {
        const MenuItem& item = m_description.items[index];
        QAction* action = m_rows[index];
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

void TrayMenu::fillRecent() {
    m_recentMenu.clear();
    const QList<DictationRecord> records = m_recent.history.records();
    for (const DictationRecord& record : records.first(std::min(records.size(), recentEntries))) {
        connect(m_recentMenu.addAction(recentTitle(record)), &QAction::triggered, this,
                [this, text = record.recoverableText()] {
                    m_recent.pasteboard.clearContents();
                    m_recent.pasteboard.setString(text);
                });
    }
    if (records.isEmpty()) {
        m_recentMenu.addAction(QStringLiteral("No dictations yet"))->setEnabled(false);
    }
}
