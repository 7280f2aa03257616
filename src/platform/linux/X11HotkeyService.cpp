#include "platform/linux/X11HotkeyService.h"

#include "log/Log.h"
#include "platform/linux/X11HotkeyKeysyms.h"
#include "platform/linux/XcbSupport.h"

#include <QGuiApplication>
#include <QKeySequence>

#include <X11/XKBlib.h>
#include <X11/keysym.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <cstdlib>

namespace {

struct KeySymbolsDeleter {
    void operator()(xcb_key_symbols_t* symbols) const { xcb_key_symbols_free(symbols); }
};
using KeySymbols = std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter>;

constexpr uint16_t matchedModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

uint16_t xModifiers(Qt::KeyboardModifiers modifiers) {
    uint16_t mask = 0;
    if (modifiers & Qt::ControlModifier)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & Qt::AltModifier)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & Qt::ShiftModifier)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & Qt::MetaModifier)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

/// The first keycode that produces the keysym in the current keyboard map; 0 when none does.
xcb_keycode_t keycodeOf(xcb_key_symbols_t* symbols, xcb_keysym_t keysym) {
    XcbReply<xcb_keycode_t> keycodes(xcb_key_symbols_get_keycode(symbols, keysym));
    return keycodes ? keycodes.get()[0] : 0;
}

} // namespace

class X11HotkeyService::Grab : public HotkeyRegistration {
public:
    Grab(X11HotkeyService& service, Combination combination, std::vector<uint16_t> lockVariants)
        : m_service(service)
        , m_combination(combination)
        , m_lockVariants(std::move(lockVariants)) {}
    ~Grab() override { m_service.ungrab(m_combination, m_lockVariants); }

private:
    X11HotkeyService& m_service;
    Combination m_combination;
    std::vector<uint16_t> m_lockVariants;
};

std::unique_ptr<X11HotkeyService> X11HotkeyService::create() {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection() || xcb_connection_has_error(x11->connection()))
        return nullptr;
    // With detectable auto-repeat a held key sends presses without releases in between.
    Bool detectableRepeat = False;
    if (x11->display())
        XkbSetDetectableAutoRepeat(x11->display(), True, &detectableRepeat);
    return std::make_unique<X11HotkeyService>(x11->connection(), detectableRepeat);
}

X11HotkeyService::X11HotkeyService(xcb_connection_t* connection, bool detectableRepeat)
    : m_connection(connection)
    // Qt opens its connection on the default screen, which is the only one Xvfb and today's servers have.
    , m_root(xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root)
    , m_detectableRepeat(detectableRepeat) {
    m_releaseDelay.setSingleShot(true);
    m_releaseDelay.setInterval(std::chrono::milliseconds(50));
    QObject::connect(&m_releaseDelay, &QTimer::timeout, &m_releaseDelay, [this] { released(); });
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotkeyService::~X11HotkeyService() = default;

void X11HotkeyService::installHandler(std::function<void()> onPressed, std::function<void()> onReleased) {
    m_onPressed = std::move(onPressed);
    m_onReleased = std::move(onReleased);
}

std::unique_ptr<HotkeyRegistration> X11HotkeyService::registerHotkey(QKeyCombination combination) {
    const std::optional<quint32> keysym = x11HotkeyKeysymOf(combination);
    if (!keysym) {
        qCWarning(lcHotkey).noquote() << QStringLiteral("The key %1 cannot be a hotkey on X11.")
                                             .arg(QKeySequence(combination.key()).toString());
        return nullptr;
    }
    const KeySymbols symbols(xcb_key_symbols_alloc(m_connection));
    if (!symbols) {
        qCWarning(lcHotkey).noquote() << QStringLiteral("The keyboard map could not be read; no hotkey.");
        return nullptr;
    }
    const Combination grab{keycodeOf(symbols.get(), *keysym), xModifiers(combination.keyboardModifiers())};
    if (grab.keycode == 0) {
        qCWarning(lcHotkey).noquote()
            << QStringLiteral("The hotkey's key (keysym 0x%1) is not on the current keyboard; no hotkey.")
                   .arg(*keysym, 0, 16);
        return nullptr;
    }

    std::vector<uint16_t> lockVariants{0, XCB_MOD_MASK_LOCK};
    if (const uint16_t numLock = modifierOfKey(keycodeOf(symbols.get(), XK_Num_Lock)); numLock != 0) {
        lockVariants.push_back(numLock);
        lockVariants.push_back(numLock | XCB_MOD_MASK_LOCK);
    }

    // Checked requests keep a refusal (BadAccess) away from Qt's error handler; checking the first waits
    // for the server to answer all of them.
    std::vector<xcb_void_cookie_t> cookies;
    for (const uint16_t variant : lockVariants) {
        cookies.push_back(xcb_grab_key_checked(m_connection, true, m_root, grab.modifiers | variant,
                                               grab.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    bool refused = false;
    for (const xcb_void_cookie_t cookie : cookies) {
        if (XcbReply<xcb_generic_error_t> error(xcb_request_check(m_connection, cookie)); error)
            refused = true;
    }
    if (refused) {
        ungrab(grab, lockVariants);
        qCWarning(lcHotkey).noquote()
            << QStringLiteral("The hotkey is held by another program; the X server refused it.");
        return nullptr;
    }
    m_grabbed.push_back(grab);
    return std::make_unique<Grab>(*this, grab, std::move(lockVariants));
}

uint16_t X11HotkeyService::modifierOfKey(xcb_keycode_t key) const {
    XcbReply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(m_connection, xcb_get_modifier_mapping(m_connection), nullptr));
    if (!mapping || key == 0)
        return 0;
    const xcb_keycode_t* modifierKeys = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int slot = 0; slot < perModifier; ++slot) {
            if (modifierKeys[modifier * perModifier + slot] == key)
                return static_cast<uint16_t>(1 << modifier);
        }
    }
    return 0;
}

void X11HotkeyService::ungrab(const Combination& combination, const std::vector<uint16_t>& lockVariants) {
    if (const auto grabbed = std::ranges::find(m_grabbed, combination); grabbed != m_grabbed.end())
        m_grabbed.erase(grabbed);
    // X keeps a single grab per combination and client, so it stays while another registration needs it.
    if (isGrabbed(combination))
        return;
    for (const uint16_t variant : lockVariants)
        xcb_ungrab_key(m_connection, combination.keycode, m_root, combination.modifiers | variant);
    xcb_flush(m_connection);
}

bool X11HotkeyService::isGrabbed(const Combination& combination) const {
    return std::ranges::find(m_grabbed, combination) != m_grabbed.end();
}

bool X11HotkeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
    case XCB_KEY_PRESS:
        return handlePress(*static_cast<const xcb_key_press_event_t*>(message));
    case XCB_KEY_RELEASE:
        return handleRelease(*static_cast<const xcb_key_release_event_t*>(message));
    default:
        return false;
    }
}

bool X11HotkeyService::handlePress(const xcb_key_press_event_t& event) {
    const Combination pressed{event.detail, static_cast<uint16_t>(event.state & matchedModifiers)};
    if (!isGrabbed(pressed))
        return false;
    bool repeat = m_held.contains(event.detail);
    if (m_releaseDelay.isActive() && event.detail == m_releasedKey && event.time == m_releaseTime) {
        m_releaseDelay.stop();
        repeat = true;
    }
    m_held[event.detail] = pressed.modifiers;
    if (!repeat && m_onPressed)
        m_onPressed();
    // While one of our own windows has the focus the press is reported to it, and Qt passes it on as usual:
    // that is how the shortcut recorder sees the registered combination.
    return event.event == m_root;
}

bool X11HotkeyService::handleRelease(const xcb_key_release_event_t& event) {
    if (m_held.erase(event.detail) > 0) {
        m_releasedKey = event.detail;
        m_releaseTime = event.time;
        if (m_detectableRepeat)
            released();
        else
            m_releaseDelay.start();
        return event.event == m_root;
    }
    // A modifier let go before the key ends the combinations it was part of. The release itself belongs to
    // whoever receives it.
    const uint16_t modifier = m_held.empty() ? 0 : modifierOfKey(event.detail);
    if (std::erase_if(m_held, [modifier](const auto& held) { return (held.second & modifier) != 0; }) > 0)
        released();
    return false;
}

void X11HotkeyService::released() {
    if (m_onReleased)
        m_onReleased();
}
