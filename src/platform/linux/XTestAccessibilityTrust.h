#pragma once

#include "platform/AccessibilityTrust.h"

#include <xcb/xcb.h>

/// X11 has no permission for synthetic input: any client may send it when the server offers the XTEST
/// extension. There is nobody to prompt, so an answer of no stays no.
class XTestAccessibilityTrust : public AccessibilityTrust {
public:
    explicit XTestAccessibilityTrust(xcb_connection_t* connection);

    bool isTrustedPromptingUser() override;

private:
    xcb_connection_t* m_connection;
};
