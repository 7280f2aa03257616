#pragma once

#include "platform/Pasteboard.h"

#include <QObject>
#include <QProcess>
#include <QStringList>

#include <deque>
#include <memory>

/// The clipboard of a Wayland session set through the compositor's data-control protocol, which, unlike the
/// core protocol, needs no keyboard focus. wl-copy speaks it and stays in the background serving the text
/// until another application takes the clipboard, so the text stays available, also after the program ends.
class DataControlPasteboard : public QObject, public Pasteboard {
    Q_OBJECT

public:
    /// Whether the compositor has the protocol and wl-copy is installed.
    static bool isSupported(bool compositorHasDataControl);

    void clearContents() override;
    void setString(const QString& text) override;

private:
    struct Command {
        QStringList arguments;
        QByteArray input;
    };

    void enqueue(Command command);
    void startNext();

    // One wl-copy at a time, so that a clear cannot overtake the text that follows it.
    std::deque<Command> m_queue;
    std::unique_ptr<QProcess> m_running;
};
