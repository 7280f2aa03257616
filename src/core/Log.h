#pragma once

#include <QString>

#include <functional>

/// Writes one diagnostic line to standard output and flushes it, so that a reader of the output sees every
/// event as it happens.
void logLine(const QString& line);

/// Sends the lines elsewhere instead, for tests; an empty sink restores standard output.
void setLogSink(std::function<void(const QString&)> sink);
