#pragma once

#include "overlay/OverlayWindow.h"

#include <QStringList>

/// Notes what the dictation asked the overlay to show, in the shared list of events.
class OverlayStateSpy : public OverlayWindow {
public:
    explicit OverlayStateSpy(QStringList& events)
        : m_events(events) {}
    void show(OverlayState state) override {
        m_events.append(state == OverlayState::recording ? QStringLiteral("overlay recording")
                                                         : QStringLiteral("overlay processing"));
    }
    void hide() override { m_events.append(QStringLiteral("overlay hidden")); }

private:
    QStringList& m_events;
};
