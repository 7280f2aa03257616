#include "platform/linux/X11ActiveWindow.h"
#include "platform/linux/XcbSupport.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Long enough for any title; a longer one is cut, not refused.
constexpr uint32_t maxPropertyWords = 4096;

// The EWMH source indication of a request made for the user rather than by the application itself, which
// window managers with focus-stealing prevention would otherwise be free to ignore.
constexpr uint32_t sourceIndicationPager = 2;

} // namespace

X11ActiveWindow::X11ActiveWindow(xcb_connection_t* connection, xcb_window_t root)
    : m_connection(connection)
    , m_root(root)
    , m_netActiveWindow(atom("_NET_ACTIVE_WINDOW"))
    , m_netWmName(atom("_NET_WM_NAME"))
    , m_utf8String(atom("UTF8_STRING")) {}

xcb_atom_t X11ActiveWindow::atom(const char* name) const {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name);
    const XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::optional<QByteArray> X11ActiveWindow::property(xcb_window_t window, xcb_atom_t property,
                                                    xcb_atom_t* type) const {
    if (window == XCB_WINDOW_NONE || property == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, maxPropertyWords);
    xcb_generic_error_t* error = nullptr;
    const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection, cookie, &error));
    std::free(error);
    if (!reply || reply->type == XCB_ATOM_NONE) {
        return std::nullopt;
    }
    if (type) {
        *type = reply->type;
    }
    const int length = xcb_get_property_value_length(reply.get());
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
}

xcb_window_t X11ActiveWindow::current() const {
    xcb_atom_t type = XCB_ATOM_NONE;
    const std::optional<QByteArray> value = property(m_root, m_netActiveWindow, &type);
    if (!value || type != XCB_ATOM_WINDOW || value->size() < static_cast<qsizetype>(sizeof(xcb_window_t))) {
        return XCB_WINDOW_NONE;
    }
    xcb_window_t window = XCB_WINDOW_NONE;
    std::memcpy(&window, value->constData(), sizeof window);
    return window;
}

bool X11ActiveWindow::exists(xcb_window_t window) const {
    if (window == XCB_WINDOW_NONE) {
        return false;
    }
    const xcb_get_window_attributes_cookie_t cookie = xcb_get_window_attributes(m_connection, window);
    xcb_generic_error_t* error = nullptr;
    const XcbReply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(m_connection, cookie, &error));
    std::free(error);
    return reply != nullptr;
}

std::optional<QString> X11ActiveWindow::title(xcb_window_t window) const {
    xcb_atom_t type = XCB_ATOM_NONE;
    if (const std::optional<QByteArray> name = property(window, m_netWmName, &type);
        name && type == m_utf8String && !name->isEmpty()) {
        return QString::fromUtf8(*name);
    }
    if (const std::optional<QByteArray> name = property(window, XCB_ATOM_WM_NAME, &type);
        name && !name->isEmpty()) {
        // WM_NAME is Latin-1 as STRING; some clients put UTF-8 there, and COMPOUND_TEXT is read as Latin-1.
        return type == m_utf8String ? QString::fromUtf8(*name) : QString::fromLatin1(*name);
    }
    return std::nullopt;
}

QStringList X11ActiveWindow::classNames(xcb_window_t window) const {
    QStringList names;
    if (const std::optional<QByteArray> value = property(window, XCB_ATOM_WM_CLASS, nullptr)) {
        for (const QByteArray& part : value->split('\0')) {
            if (!part.isEmpty()) {
                names << QString::fromLatin1(part);
            }
        }
    }
    return names;
}

void X11ActiveWindow::activate(xcb_window_t window) const {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = m_netActiveWindow;
    message.data.data32[0] = sourceIndicationPager;
    message.data.data32[1] = XCB_CURRENT_TIME;
    message.data.data32[2] = XCB_WINDOW_NONE;
    xcb_send_event(m_connection, 0, m_root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(m_connection);
}
