#include "platform/wayland/YdotoolPaste.h"

#include "log/Log.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <linux/input-event-codes.h>

namespace {

const QString ydotool = QStringLiteral("ydotool");

// Where the daemon listens: YDOTOOL_SOCKET, else its defaults.
bool daemonIsRunning() {
    QStringList sockets = {qEnvironmentVariable("YDOTOOL_SOCKET"),
                           qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/.ydotool_socket"),
                           QStringLiteral("/tmp/.ydotool_socket")};
    for (const QString& socket : sockets) {
        const QFileInfo info(socket);
        if (!socket.isEmpty() && info.exists() && !info.isDir() && !info.isFile()) {
            return true;
        }
    }
    return false;
}

QString keyEvent(int keycode, bool pressed) {
    return QStringLiteral("%1:%2").arg(keycode).arg(pressed ? 1 : 0);
}

} // namespace

bool YdotoolPaste::isAvailable() const {
    return daemonIsRunning() && !QStandardPaths::findExecutable(ydotool).isEmpty();
}

void YdotoolPaste::paste(bool withShift, Done done) {
    QStringList arguments = {QStringLiteral("key"), keyEvent(KEY_LEFTCTRL, true)};
    if (withShift) {
        arguments << keyEvent(KEY_LEFTSHIFT, true);
    }
    arguments << keyEvent(KEY_V, true) << keyEvent(KEY_V, false);
    if (withShift) {
        arguments << keyEvent(KEY_LEFTSHIFT, false);
    }
    arguments << keyEvent(KEY_LEFTCTRL, false);

    auto* process = new QProcess(this);
    process->setStandardOutputFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, this, [process, done](int exitCode, QProcess::ExitStatus status) {
        process->deleteLater();
        const bool sent = status == QProcess::NormalExit && exitCode == 0;
        if (!sent) {
            qCWarning(lcOutput).noquote() << "ydotool failed:" << process->readAllStandardError().trimmed();
        }
        done(sent);
    });
    connect(process, &QProcess::errorOccurred, this, [process, done](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            qCWarning(lcOutput).noquote() << "ydotool did not start:" << process->errorString();
            process->deleteLater();
            done(false);
        }
    });
    process->start(ydotool, arguments);
}
