#pragma once

#include <QDBusConnection>
#include <QObject>

#include <functional>
#include <memory>

/// What a start of the program asks for: run (or, when an instance runs, open its Settings), or pass a
/// dictation command to the running instance.
enum class InstanceCommand { run, toggle, start, stop };

/// The running program on the session bus: it owns the bus name and serves the commands that
/// `murmuro --toggle`, `--start`, `--stop` and a second start send. Owning the name is what makes the
/// instance single: the bus hands it to exactly one of two programs started at once.
class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.murmuro.Murmuro")

public:
    struct Actions {
        std::function<void()> toggle; ///< as the hotkey does, with its repeat guard
        std::function<void()> start;
        std::function<void()> stop;
        std::function<void()> showSettings;
    };

    /// Takes the bus name for this process. Nothing when another instance holds it (anotherRuns is set) or
    /// when there is no bus, which is logged: the program then runs without its command line.
    static std::unique_ptr<SingleInstance> claim(QDBusConnection bus, bool& anotherRuns);
    ~SingleInstance() override;

    /// Commands arrive only from the event loop on, so the actions may be set once the program is built.
    void setActions(Actions actions) { m_actions = std::move(actions); }

    /// Sends the command to the instance that owns the name (run: open its Settings). Prints one line and
    /// returns non-zero when there is none; returns 0 once it has taken the command.
    static int sendToRunningInstance(QDBusConnection bus, InstanceCommand command);

public slots:
    Q_SCRIPTABLE void Toggle();
    Q_SCRIPTABLE void Start();
    Q_SCRIPTABLE void Stop();
    Q_SCRIPTABLE void ShowSettings();

private:
    explicit SingleInstance(QDBusConnection bus);
    static void run(const std::function<void()>& action);

    QDBusConnection m_bus;
    Actions m_actions;
};
