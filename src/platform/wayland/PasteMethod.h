#pragma once

#include <QString>

#include <functional>

/// One way of typing the paste shortcut into the window that has the keyboard focus in a Wayland session.
class PasteMethod {
public:
    /// Called once, on the main thread, with whether the keys went out.
    using Done = std::function<void(bool sent)>;

    virtual ~PasteMethod() = default;

    /// How the log names it.
    virtual QString name() const = 0;
    /// Whether it may work in this session. One that was refused or failed for good says no from then on.
    virtual bool isAvailable() const = 0;
    /// Types Ctrl+V, or Ctrl+Shift+V.
    virtual void paste(bool withShift, Done done) = 0;
};
