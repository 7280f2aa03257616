#pragma once

#include <QLoggingCategory>
#include <QString>

#include <functional>

// One category per area of the program, so that QT_LOGGING_RULES can turn up one of them, for example
// QT_LOGGING_RULES="murmuro.speech.debug=true". Debug output is off unless asked for.
Q_DECLARE_LOGGING_CATEGORY(lcSession)
Q_DECLARE_LOGGING_CATEGORY(lcAudio)
Q_DECLARE_LOGGING_CATEGORY(lcSpeech)
Q_DECLARE_LOGGING_CATEGORY(lcChat)
Q_DECLARE_LOGGING_CATEGORY(lcOutput)
Q_DECLARE_LOGGING_CATEGORY(lcHotkey)
Q_DECLARE_LOGGING_CATEGORY(lcDesktop)
Q_DECLARE_LOGGING_CATEGORY(lcUi)

/// Routes the program's own messages (categories "murmuro.*") to standard output as bare lines, exactly as
/// written and flushed one by one, so that a reader of the output sees every event as it happens. Messages
/// of Qt and the libraries keep Qt's usual output.
void installLogHandler();

/// Sends the program's lines elsewhere instead, for tests; an empty sink restores standard output.
void setLogSink(std::function<void(const QString&)> sink);
