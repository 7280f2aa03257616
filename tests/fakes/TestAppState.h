#pragma once

#include "core/AppState.h"
#include "log/Log.h"

#include <QSettings>
#include <QTemporaryDir>

/// An AppState as at a first launch, over a settings file of its own that goes away with it, and the lines
/// the program has logged since the newest one was made.
struct TestAppState {
    explicit TestAppState(AppState::OverlayFactory overlay = {},
                          const QString& locale = QStringLiteral("en_US"))
        : settings(directory.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
        , state(settings, locale, std::move(overlay)) {
        log.clear();
        setLogSink([](const QString& line) { log << line; });
    }

    QTemporaryDir directory;
    QSettings settings;
    AppState state;
    static inline QStringList log;
};
