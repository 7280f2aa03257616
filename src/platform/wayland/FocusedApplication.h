#pragma once

#include <QString>

#include <optional>

/// The application id of the window with the keyboard focus, asked of the compositor over its own IPC
/// socket where it has one that tells (sway at SWAYSOCK, Hyprland at HYPRLAND_INSTANCE_SIGNATURE); nothing
/// elsewhere (GNOME and KDE Plasma tell no client) or when the compositor does not answer promptly.
std::optional<QString> focusedApplicationId();
