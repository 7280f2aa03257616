#pragma once

#include <QIcon>
#include <QString>

/// The tray icon for a status text: the text drawn in colour emoji, filling the icon.
QIcon statusIcon(const QString& label);
