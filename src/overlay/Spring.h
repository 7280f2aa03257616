#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

/// A damped spring that carries a value to a target over time, described the way designers
/// describe springs: the response (period of the undamped oscillation) and the damping fraction (1 means no
/// overshoot). It only runs while the value is on its way.
class Spring : public QObject {
    Q_OBJECT

public:
    Spring(double response, double dampingFraction, QObject* parent = nullptr);

    double value() const { return m_value; }
    double target() const { return m_target; }
    bool isRunning() const { return m_timer.isActive(); }

    /// Sets off towards the target, keeping the current speed; nothing happens if it is the target already.
    void animateTo(double target);
    /// Puts the value at once where it should be, without motion.
    void jumpTo(double value);

signals:
    void valueChanged(double value);

private:
    void step();

    double m_stiffness;
    double m_damping;
    double m_value = 0.0;
    double m_velocity = 0.0;
    double m_target = 0.0;
    QTimer m_timer;
    QElapsedTimer m_clock;
};
