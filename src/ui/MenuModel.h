#pragma once

#include "core/DictationMode.h"
#include "core/RecordingState.h"
#include "history/DictationHistory.h"

#include <QList>
#include <QString>

/// What choosing a menu item does.
enum class MenuCommand {
    none,
    selectMode,
    startDictation,
    stopDictation,
    toggleAutoPaste,
    openSettings,
    showAbout,
    quit,
};

/// One row of the tray menu as data, so that the menu can be checked without a display.
struct MenuItem {
    bool separator = false;
    QString title;
    bool checked = false;
    bool enabled = true;
    MenuCommand command = MenuCommand::none;
    DictationMode mode = DictationMode::smart; ///< The mode chosen by a selectMode item.

    bool operator==(const MenuItem&) const = default;
};

/// The tray's status text and menu for one combination of the state the menu shows.
struct MenuDescription {
    QString statusLabel;
    QList<MenuItem> items;
};

/// The text the tray shows: the mode's emoji while idle, else the recording or processing sign.
QString statusLabel(RecordingState recordingState, DictationMode selectedMode);

MenuDescription describeMenu(RecordingState recordingState, DictationMode selectedMode, bool autoPaste,
                             const QString& hotkeyString);

/// One line of the Recent menu for a kept dictation: the time, then the text that choosing it copies, cut
/// short; a transcript that was not rewritten is marked.
QString recentTitle(const DictationRecord& record);
