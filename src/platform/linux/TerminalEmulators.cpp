#include "platform/linux/TerminalEmulators.h"

#include <QStringList>

namespace {

// xterm and urxvt are not here: they paste the clipboard on no default shortcut, so the text stays on the
// clipboard for the user and Ctrl+V is as good as any.
const QStringList terminalNames = {
    // X11 class names and the Wayland application ids that are the same
    QStringLiteral("gnome-terminal"),
    QStringLiteral("gnome-terminal-server"),
    QStringLiteral("kgx"),
    QStringLiteral("org.gnome.Console"),
    QStringLiteral("konsole"),
    QStringLiteral("Alacritty"),
    QStringLiteral("kitty"),
    QStringLiteral("xfce4-terminal"),
    QStringLiteral("tilix"),
    QStringLiteral("terminator"),
    QStringLiteral("foot"),
    QStringLiteral("footclient"),
    QStringLiteral("org.wezfurlong.wezterm"),
    QStringLiteral("mate-terminal"),
    QStringLiteral("lxterminal"),
    QStringLiteral("qterminal"),
    QStringLiteral("terminology"),
    QStringLiteral("sakura"),
    QStringLiteral("tilda"),
    QStringLiteral("guake"),
    QStringLiteral("st"),
    QStringLiteral("st-256color"),
    QStringLiteral("cool-retro-term"),
    QStringLiteral("ghostty"),
    // Wayland application ids only
    QStringLiteral("org.gnome.Terminal"),
    QStringLiteral("org.kde.konsole"),
    QStringLiteral("com.mitchellh.ghostty"),
    QStringLiteral("com.gexperts.Tilix"),
    QStringLiteral("org.gnome.Ptyxis"),
};

} // namespace

bool isTerminalEmulator(const QString& applicationName) {
    return terminalNames.contains(applicationName, Qt::CaseInsensitive);
}
