#pragma once

#include <QString>

#include <memory>
#include <optional>

/// An application window that was in front at some moment.
class RunningApplication {
public:
    virtual ~RunningApplication() = default;

    /// True once it has gone away.
    virtual bool isTerminated() const = 0;
    virtual std::optional<QString> localizedName() const = 0;
    /// Brings it to the front.
    virtual void activate() = 0;
};

/// The applications of the desktop session.
class Workspace {
public:
    virtual ~Workspace() = default;

    /// The application in front now, or nothing.
    virtual std::shared_ptr<RunningApplication> frontmostApplication() = 0;
};
