#include "ui/MenuModel.h"

#include <QTextBoundaryFinder>

namespace {

/// The last user-perceived character, so that an emoji with a variation selector stays whole.
QString lastGrapheme(const QString& text) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    finder.toEnd();
    const qsizetype start = finder.toPreviousBoundary();
    return start < 0 ? QString() : text.mid(start);
}

MenuItem separator() {
    MenuItem item;
    item.separator = true;
    return item;
}

MenuItem action(const QString& title, MenuCommand command, bool checked = false) {
    MenuItem item;
    item.title = title;
    item.command = command;
    item.checked = checked;
    return item;
}

MenuItem recordingItem(RecordingState state, const QString& hotkeyString) {
    switch (state) {
    case RecordingState::idle:
        return action(QStringLiteral("Start Recording  ") + hotkeyString, MenuCommand::startDictation);
    case RecordingState::recording:
        return action(QStringLiteral("Stop & Process  ") + hotkeyString, MenuCommand::stopDictation);
    case RecordingState::processing:
        break;
    }
    MenuItem item = action(QStringLiteral("Processing\u2026"), MenuCommand::none);
    item.enabled = false;
    return item;
}

// A menu wider than this would cover much of the screen for one entry.
constexpr qsizetype recentTitleLength = 48;

} // namespace

QString recentTitle(const DictationRecord& record) {
    QString text = record.recoverableText().simplified();
    if (text.size() > recentTitleLength) {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
        finder.setPosition(recentTitleLength);
        if (!finder.isAtBoundary()) {
            finder.toPreviousBoundary();
        }
        text = text.left(finder.position()) + u'\u2026';
    }
    // An ampersand in a menu title would mark a shortcut key.
    text.replace(u'&', QStringLiteral("&&"));
    return record.time.toLocalTime().toString(QStringLiteral("HH:mm")) + QStringLiteral("  ") +
           (record.finalText ? QString() : QStringLiteral("\u26A0 ")) + text;
}

QString statusLabel(RecordingState recordingState, DictationMode selectedMode) {
    switch (recordingState) {
    case RecordingState::idle:
        return lastGrapheme(rawValue(selectedMode));
    case RecordingState::recording:
        return QStringLiteral("\U0001F534");
    case RecordingState::processing:
        return QStringLiteral("\u23F3");
    }
    return {};
}

MenuDescription describeMenu(RecordingState recordingState, DictationMode selectedMode, bool autoPaste,
                             const QString& hotkeyString) {
    MenuDescription menu;
    menu.statusLabel = statusLabel(recordingState, selectedMode);
    for (DictationMode mode : allModes()) {
        MenuItem item = action(rawValue(mode), MenuCommand::selectMode, mode == selectedMode);
        item.mode = mode;
        menu.items.append(item);
    }
    menu.items.append(separator());
    menu.items.append(recordingItem(recordingState, hotkeyString));
    menu.items.append(separator());
    menu.items.append(
        action(QStringLiteral("Auto-Paste on Finish"), MenuCommand::toggleAutoPaste, autoPaste));
    menu.items.append(separator());
    menu.items.append(action(QStringLiteral("Settings\u2026"), MenuCommand::openSettings));
    menu.items.append(separator());
    menu.items.append(action(QStringLiteral("About Murmuro"), MenuCommand::showAbout));
    menu.items.append(separator());
    menu.items.append(action(QStringLiteral("Quit"), MenuCommand::quit));
    return menu;
}
