#include "platform/wayland/DataControlPasteboard.h"

#include "log/Log.h"

#include <QStandardPaths>

namespace {

const QString wlCopy = QStringLiteral("wl-copy");

} // namespace

bool DataControlPasteboard::isSupported(bool compositorHasDataControl) {
    return compositorHasDataControl && !QStandardPaths::findExecutable(wlCopy).isEmpty();
}

void DataControlPasteboard::clearContents() {
    enqueue({{QStringLiteral("--clear")}, {}});
}

void DataControlPasteboard::setString(const QString& text) {
    // The type is given, so that text that looks like markup is still offered as plain text.
    enqueue({{QStringLiteral("--type"), QStringLiteral("text/plain;charset=utf-8")}, text.toUtf8()});
}

void DataControlPasteboard::enqueue(Command command) {
    m_queue.push_back(std::move(command));
    if (!m_running) {
        startNext();
    }
}

void DataControlPasteboard::startNext() {
    if (m_queue.empty()) {
        m_running.reset();
        return;
    }
    const Command command = std::move(m_queue.front());
    m_queue.pop_front();
    m_running = std::make_unique<QProcess>();
    QProcess* process = m_running.get();
    connect(process, &QProcess::finished, this, [this, process](int exitCode, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || exitCode != 0) {
            qCWarning(lcOutput).noquote() << "wl-copy failed:" << process->readAllStandardError().trimmed();
        }
        // The finished signal is still being delivered by this process: it is deleted later.
        m_running.release()->deleteLater();
        startNext();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) {
            return;
        }
        qCWarning(lcOutput).noquote() << "wl-copy did not start:" << process->errorString();
        m_running.release()->deleteLater();
        startNext();
    });
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(wlCopy, command.arguments);
    process->write(command.input);
    process->closeWriteChannel();
}
