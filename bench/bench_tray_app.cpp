// Launches a tray application on the test desktop and measures what it costs while nobody uses it: the time
// from launch to its icon sitting in the tray (the median of a few launches), then, in the last launch and
// once it has settled, its resident memory and how often it wakes up over an idle minute.
//
//     bench_tray_app [--launches N] [--settle SECONDS] [--idle SECONDS] [--close TITLE] PROGRAM [ARGS...]
//
// --close TITLE closes the program's window of that title through the window manager, as a user would,
// before the program is left to settle. The default 35 s of settling outlast the 30 s after which Qt's idle
// pool threads end (Qt's raster engine starts some to paint large windows) and Qt's one-shot timers of the
// start-up, so that the idle minute shows what would go on for as long as nobody uses the program. Prints
// "name value" lines for bench/run.sh.

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "bench_tray_app: %s\n", what.c_str());
    std::exit(1);
}

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> own(T* reply) {
    return Reply<T>(reply, &std::free);
}

class Display {
public:
    Display() {
        int screenNumber = 0;
        m_connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(m_connection)) {
            fail("no X display");
        }
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
        for (int i = 0; i < screenNumber; ++i) {
            xcb_screen_next(&screens);
        }
        m_root = screens.data->root;
        m_resourceMask = xcb_get_setup(m_connection)->resource_id_mask;
        m_pidAtom = atom("_NET_WM_PID");
        m_nameAtom = atom("_NET_WM_NAME");
        m_utf8Atom = atom("UTF8_STRING");
        m_closeAtom = atom("_NET_CLOSE_WINDOW");
        m_trayOwner = selectionOwner("_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber));
    }
    ~Display() { xcb_disconnect(m_connection); }
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    bool hasTray() const { return m_trayOwner != XCB_NONE; }

    // A window of the process inside one of the tray's windows: the tray has embedded its icon.
    bool iconEmbedded(pid_t pid) {
        const xcb_window_t trayClient = m_trayOwner & ~m_resourceMask;
        for (xcb_window_t window : descendants(m_root)) {
            const auto tree =
                own(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr));
            if (tree && (tree->parent & ~m_resourceMask) == trayClient &&
                (window & ~m_resourceMask) != trayClient && windowPid(window) == pid) {
                return true;
            }
        }
        return false;
    }

    // Asks the window manager to close the process's windows of that title; answers whether one was there.
    bool closeWindow(pid_t pid, const std::string& title) {
        bool found = false;
        for (xcb_window_t window : descendants(m_root)) {
            if (windowPid(window) != pid || windowName(window) != title || !isViewable(window)) {
                continue;
            }
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = window;
            event.type = m_closeAtom;
            event.data.data32[1] = 2; // from a pager or the user, not from the application
            xcb_send_event(m_connection, 0, m_root,
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char*>(&event));
            found = true;
        }
        xcb_flush(m_connection);
        return found;
    }

    bool hasViewableWindow(pid_t pid, const std::string& title) {
        for (xcb_window_t window : descendants(m_root)) {
            if (windowPid(window) == pid && windowName(window) == title && isViewable(window)) {
                return true;
            }
        }
        return false;
    }

private:
    xcb_atom_t atom(const std::string& name) {
        const auto reply = own(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, name.size(), name.c_str()), nullptr));
        return reply ? reply->atom : XCB_NONE;
    }

    xcb_window_t selectionOwner(const std::string& selection) {
        const auto reply = own(xcb_get_selection_owner_reply(
            m_connection, xcb_get_selection_owner(m_connection, atom(selection)), nullptr));
        return reply ? reply->owner : XCB_NONE;
    }

    std::vector<xcb_window_t> descendants(xcb_window_t top) {
        std::vector<xcb_window_t> windows{top};
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const auto tree =
                own(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, windows[i]), nullptr));
            if (tree) {
                const xcb_window_t* children = xcb_query_tree_children(tree.get());
                windows.insert(windows.end(), children,
                               children + xcb_query_tree_children_length(tree.get()));
            }
        }
        return windows;
    }

    std::optional<pid_t> windowPid(xcb_window_t window) {
        const auto reply = own(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1),
            nullptr));
        if (!reply || xcb_get_property_value_length(reply.get()) != 4) {
            return std::nullopt;
        }
        return static_cast<pid_t>(*static_cast<const uint32_t*>(xcb_get_property_value(reply.get())));
    }

    std::string windowName(xcb_window_t window) {
        const auto reply = own(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, m_nameAtom, m_utf8Atom, 0, 256),
            nullptr));
        if (!reply) {
            return {};
        }
        return {static_cast<const char*>(xcb_get_property_value(reply.get())),
                static_cast<std::size_t>(xcb_get_property_value_length(reply.get()))};
    }

    bool isViewable(xcb_window_t window) {
        const auto reply = own(xcb_get_window_attributes_reply(
            m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
        return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = XCB_NONE;
    uint32_t m_resourceMask = 0;
    xcb_atom_t m_pidAtom = XCB_NONE;
    xcb_atom_t m_nameAtom = XCB_NONE;
    xcb_atom_t m_utf8Atom = XCB_NONE;
    xcb_atom_t m_closeAtom = XCB_NONE;
    xcb_window_t m_trayOwner = XCB_NONE;
};

pid_t launch(char** command) {
    const pid_t pid = fork();
    if (pid < 0) {
        fail("cannot fork");
    }
    if (pid == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO);
        execvp(command[0], command);
        _exit(127);
    }
    return pid;
}

void terminate(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

bool hasExited(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

std::string procField(const std::filesystem::path& file, const std::string& name) {
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(name + ":", 0) == 0) {
            return line.substr(name.size() + 1);
        }
    }
    return {};
}

// Context switches of every thread, by thread id: a thread that sleeps and is woken switches once.
struct ThreadSwitches {
    std::string name;
    long switches = 0;
};

std::map<std::string, ThreadSwitches> switchesByThread(pid_t pid) {
    std::map<std::string, ThreadSwitches> threads;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        const long switches =
            std::atol(procField(task.path() / "status", "voluntary_ctxt_switches").c_str()) +
            std::atol(procField(task.path() / "status", "nonvoluntary_ctxt_switches").c_str());
        threads[task.path().filename()] = {name, switches};
    }
    return threads;
}

} // namespace

int main(int argc, char** argv) {
    int launches = 5;
    int settleSeconds = 35;
    int idleSeconds = 60;
    std::string closeTitle;
    int first = 1;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; first += 2) {
        if (first + 1 >= argc) {
            fail(std::string("no value for ") + argv[first]);
        }
        const std::string option = argv[first];
        if (option == "--launches") {
            launches = std::max(1, std::atoi(argv[first + 1]));
        } else if (option == "--settle") {
            settleSeconds = std::atoi(argv[first + 1]);
        } else if (option == "--idle") {
            idleSeconds = std::atoi(argv[first + 1]);
        } else if (option == "--close") {
            closeTitle = argv[first + 1];
        } else {
            fail("unknown option " + option);
        }
    }
    if (first >= argc) {
        fail("no program to launch");
    }

    Display display;
    if (!display.hasTray()) {
        fail("no system tray on the display");
    }

    std::vector<double> launchMs;
    pid_t pid = 0;
    for (int i = 0; i < launches; ++i) {
        if (pid) {
            terminate(pid);
            std::this_thread::sleep_for(1s);
        }
        const Clock::time_point start = Clock::now();
        pid = launch(argv + first);
        while (!display.iconEmbedded(pid)) {
            if (hasExited(pid) || Clock::now() - start > 30s) {
                fail("the icon did not reach the tray");
            }
            std::this_thread::sleep_for(1ms);
        }
        launchMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(launchMs.begin(), launchMs.end());
    std::printf("launch_to_tray_ms %.0f\n", launchMs[launchMs.size() / 2]);

    std::this_thread::sleep_for(2s);
    if (!closeTitle.empty()) {
        if (!display.closeWindow(pid, closeTitle)) {
            fail("no window titled " + closeTitle);
        }
        const Clock::time_point asked = Clock::now();
        while (display.hasViewableWindow(pid, closeTitle)) {
            if (Clock::now() - asked > 10s) {
                fail("the window did not close: " + closeTitle);
            }
            std::this_thread::sleep_for(10ms);
        }
    }
    std::this_thread::sleep_for(std::chrono::seconds(settleSeconds));

    const std::string status = "/proc/" + std::to_string(pid) + "/status";
    for (const char* field : {"VmRSS", "RssAnon", "RssFile", "RssShmem"}) {
        std::printf("%s_kb %ld\n", field, std::atol(procField(status, field).c_str()));
    }
    std::printf("threads %ld\n", std::atol(procField(status, "Threads").c_str()));

    const std::map<std::string, ThreadSwitches> before = switchesByThread(pid);
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const std::map<std::string, ThreadSwitches> after = switchesByThread(pid);
    long total = 0;
    std::string busy;
    for (const auto& [tid, thread] : after) {
        const auto earlier = before.find(tid);
        const long woken = thread.switches - (earlier == before.end() ? 0 : earlier->second.switches);
        total += woken;
        if (woken > 0) {
            busy += " " + thread.name + "=" + std::to_string(woken);
        }
    }
    // A thread that ended in the meantime was woken at least to end; its count went with it.
    for (const auto& [tid, thread] : before) {
        if (!after.contains(tid)) {
            total += 1;
            busy += " " + thread.name + "(ended)=1";
        }
    }
    std::printf("wakeups %ld\n", total);
    std::printf("wakeups_by_thread%s\n", busy.empty() ? " -" : busy.c_str());
    terminate(pid);
    return 0;
}
