#pragma once

/// Whether this process may send input to other applications.
class AccessibilityTrust {
public:
    virtual ~AccessibilityTrust() = default;

    /// When it may not, the system asks the user for the permission.
    virtual bool isTrustedPromptingUser() = 0;
};
