#include "platform/linux/QClipboardPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>

void QClipboardPasteboard::clearContents() {
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
}

void QClipboardPasteboard::setString(const QString& text) {
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}
