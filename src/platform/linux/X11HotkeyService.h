#pragma once

#include "platform/HotkeyService.h"

#include <QAbstractNativeEventFilter>
#include <QTimer>

#include <xcb/xcb.h>

#include <map>
#include <memory>
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

    void installHandler(std::function<void()> onPressed, std::function<void()> onReleased) override;

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
    void released();
    /// The modifier mask that the key sets, 0 for a key that is no modifier.
    uint16_t modifierOfKey(xcb_keycode_t key) const;
    void ungrab(const Combination& combination, const std::vector<uint16_t>& lockVariants);

    xcb_connection_t* m_connection;
    xcb_window_t m_root;
    std::function<void()> m_onPressed;
    std::function<void()> m_onReleased;
    std::vector<Combination> m_grabbed;
    // The combinations held down now. A press of a key still held is auto-repeat. Without detectable
    // auto-repeat the server releases the key before each repeat, with the repeat's timestamp, so a release
    // counts only once no such press has followed it for a moment.
    std::map<xcb_keycode_t, uint16_t> m_held;
    bool m_detectableRepeat;
    QTimer m_releaseDelay;
    xcb_keycode_t m_releasedKey = 0;
    xcb_timestamp_t m_releaseTime = 0;
};
