#include "platform/linux/X11Workspace.h"

namespace {

/// One top-level window; it has terminated once the window is destroyed.
class X11WindowApplication : public RunningApplication {
public:
    X11WindowApplication(std::shared_ptr<const X11ActiveWindow> windows, xcb_window_t window)
        : m_windows(std::move(windows))
        , m_window(window) {}

    bool isTerminated() const override { return !m_windows->exists(m_window); }
    std::optional<QString> localizedName() const override { return m_windows->title(m_window); }
    void activate() override { m_windows->activate(m_window); }

private:
    std::shared_ptr<const X11ActiveWindow> m_windows;
    xcb_window_t m_window;
};

} // namespace

X11Workspace::X11Workspace(std::shared_ptr<const X11ActiveWindow> windows)
    : m_windows(std::move(windows)) {}

std::shared_ptr<RunningApplication> X11Workspace::frontmostApplication() {
    const xcb_window_t window = m_windows->current();
    if (window == XCB_WINDOW_NONE) {
        return nullptr;
    }
    return std::make_shared<X11WindowApplication>(m_windows, window);
}
