#include "platform/linux/XTestAccessibilityTrust.h"

#include <xcb/xtest.h>

XTestAccessibilityTrust::XTestAccessibilityTrust(xcb_connection_t* connection)
    : m_connection(connection) {}

bool XTestAccessibilityTrust::isTrustedPromptingUser() {
    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(m_connection, &xcb_test_id);
    return xtest && xtest->present;
}
