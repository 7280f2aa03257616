#pragma once

/// Synthetic keyboard input into the application in front.
class KeyboardEvents {
public:
    virtual ~KeyboardEvents() = default;

    /// Types the platform's paste shortcut.
    virtual void postPasteKeystroke() = 0;
};
