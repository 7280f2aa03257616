#pragma once

#include "core/AppState.h"
#include "platform/null/NullPlatform.h"

#include <QSettings>
#include <QTemporaryDir>

/// An AppState over a settings file of its own that disappears with it.
class TestAppState {
public:
    TestAppState()
        : settings(directory.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat)
        , state(settings, QStringLiteral("en_US"),
                [](AppState&) { return std::make_unique<NullOverlayWindow>(); }) {}

    QTemporaryDir directory;
    QSettings settings;
    AppState state;
};
