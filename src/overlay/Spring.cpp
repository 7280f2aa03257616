#include "overlay/Spring.h"

#include <cmath>
#include <numbers>

namespace {

/// Integration step: far below the spring's period, so the explicit method stays stable and accurate.
constexpr double substep = 0.001;
/// Frames are drawn at this interval while the spring moves.
constexpr int frameMilliseconds = 16;
/// Closer than this, and slower than restSpeed per second, the motion cannot be seen any more.
constexpr double restDistance = 0.01;
constexpr double restSpeed = 0.1;

} // namespace

Spring::Spring(double response, double dampingFraction, QObject* parent)
    : QObject(parent)
    // Unit mass: the undamped angular frequency is 2π / response.
    , m_stiffness(std::pow(2.0 * std::numbers::pi / response, 2.0))
    , m_damping(4.0 * std::numbers::pi * dampingFraction / response) {
    m_timer.setInterval(frameMilliseconds);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &Spring::step);
}

void Spring::animateTo(double target) {
    if (target == m_target) {
        return;
    }
    m_target = target;
    if (!m_timer.isActive()) {
        m_clock.start();
        m_timer.start();
    }
}

void Spring::jumpTo(double value) {
    m_timer.stop();
    m_value = value;
    m_target = value;
    m_velocity = 0.0;
    emit valueChanged(m_value);
}

void Spring::step() {
    // A stalled event loop must not make the spring leap: at most a tenth of a second is simulated per frame.
    const double elapsed = std::min(static_cast<double>(m_clock.restart()) / 1000.0, 0.1);
    for (double done = 0.0; done < elapsed; done += substep) {
        const double force = -m_stiffness * (m_value - m_target) - m_damping * m_velocity;
        m_velocity += force * substep;
        m_value += m_velocity * substep;
    }
    if (std::abs(m_value - m_target) < restDistance && std::abs(m_velocity) < restSpeed) {
        m_value = m_target;
        m_velocity = 0.0;
        m_timer.stop();
    }
    emit valueChanged(m_value);
}
