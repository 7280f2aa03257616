#pragma once

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>

/// A terminal emulator's input as far as pasting goes: Ctrl+Shift+V pastes the clipboard, Ctrl+V is sent
/// to the shell as a control character.
class TerminalLikeEdit : public QLineEdit {
protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_V && event->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)) {
            insert(QGuiApplication::clipboard()->text());
        } else if (event->key() == Qt::Key_V && event->modifiers() == Qt::ControlModifier) {
            insert(QStringLiteral("^V"));
        } else {
            QLineEdit::keyPressEvent(event);
        }
    }
};
