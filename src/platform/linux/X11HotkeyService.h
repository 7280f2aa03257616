#pragma once

#include "platform/HotkeyService.h"

#include <QAbstractNativeEventFilter>

#include <xcb/xcb.h>

#include <memory>
#include <set>
#include <vector>

/// System-wide hotkeys as passive key grabs on the root window, over Qt's own X connection. Each
/// combination is grabbed with and without Caps Lock and Num Lock, which X counts as modifiers. Its
/// registrations must be destroyed before it.
class X11HotkeyService : public HotkeyService, private QAbstractNativeEventFilter {
public:
    /// Nothing unless the application runs on the xcb platform with a working display connection.
    static std::unique_ptr<X11HotkeyService> create();

    /// detectableRepeat: the server sends no releases while a key repeats.
    X11HotkeyService(xcb_connection_t* connection, bool detectableRepeat);
    ~X11HotkeyService() override;

    void installHandler(std::function<void()> onPressed) override;

    /// Nothing when the key has no keycode in the current keyboard map, or when another client holds any
    /// variant of the combination.
    std::unique_ptr<HotkeyRegistration> registerHotkey(QKeyCombination combination) override;

private:
    class Grab;
    struct Combination {
        xcb_keycode_t keycode;
        uint16_t modifiers;
        bool operator==(const Combination&) const = default;
    };

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    bool handlePress(const xcb_key_press_event_t& event);
    bool handleRelease(const xcb_key_release_event_t& event);
    bool isGrabbed(const Combination& combination) const;
    uint16_t numLockModifier() const;
    void ungrab(const Combination& combination, const std::vector<uint16_t>& lockVariants);

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    std::function<void()> m_onPressed;
    std::vector<Combination> m_grabbed;
    // A press of a key still held is auto-repeat. Without detectable auto-repeat the server releases the key
    // before each repeat, with the repeat's timestamp.
    bool m_detectableRepeat;
    std::set<xcb_keycode_t> m_heldKeys;
    xcb_keycode_t m_lastReleasedKey = 0;
    xcb_timestamp_t m_lastReleaseTime = 0;
};
