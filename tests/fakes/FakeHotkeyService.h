#pragma once

#include "platform/HotkeyService.h"

#include <QList>

#include <utility>

/// Records registrations; a press is simulated with press(). Refuses every combination while refusing is set.
class FakeHotkeyService : public HotkeyService {
public:
    struct Registered {
        quint32 keyCode;
        quint32 modifiers;
    };

    void installHandler(std::function<void()> onPressed) override { handler = std::move(onPressed); }

    std::unique_ptr<HotkeyRegistration> registerHotkey(quint32 keyCode, quint32 modifiers) override {
        requests.append({keyCode, modifiers});
        activeAtRequest.append(active.size());
        if (refusing)
            return nullptr;
        return std::make_unique<Registration>(*this, Registered{keyCode, modifiers});
    }

    void press() {
        if (handler)
            handler();
    }

    std::function<void()> handler;
    QList<Registered> requests;
    QList<Registered> active;
    /// How many registrations were still held when each request came.
    QList<qsizetype> activeAtRequest;
    bool refusing = false;

private:
    class Registration : public HotkeyRegistration {
    public:
        Registration(FakeHotkeyService& service, Registered combination)
            : m_service(service) {
            m_service.active.append(combination);
        }
        ~Registration() override { m_service.active.removeFirst(); }

    private:
        FakeHotkeyService& m_service;
    };
};
