#pragma once

#include "core/AppState.h"

#include <QSettings>
#include <QTemporaryDir>

/// An AppState as at a first launch, over a settings file of its own that goes away with it.
struct TestAppState {
    explicit TestAppState(AppState::OverlayFactory overlay = {},
                          const QString& locale = QStringLiteral("en_US"))
        : settings(directory.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
        , state(settings, locale, std::move(overlay)) {}

    QTemporaryDir directory;
    QSettings settings;
    AppState state;
};
