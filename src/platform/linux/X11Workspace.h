#pragma once

#include "platform/Workspace.h"
#include "platform/linux/X11ActiveWindow.h"

#include <memory>

/// The applications of an X11 session, seen as their top-level windows: the frontmost application is the
/// active window.
class X11Workspace : public Workspace {
public:
    explicit X11Workspace(std::shared_ptr<const X11ActiveWindow> windows);

    std::shared_ptr<RunningApplication> frontmostApplication() override;

private:
    std::shared_ptr<const X11ActiveWindow> m_windows;
};
