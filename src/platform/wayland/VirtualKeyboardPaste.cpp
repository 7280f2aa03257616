#include "platform/wayland/VirtualKeyboardPaste.h"

#include "log/Log.h"
#include "platform/wayland/VirtualKeyboard.h"

#include <QTimer>

#include <linux/input-event-codes.h>

VirtualKeyboardPaste::VirtualKeyboardPaste(std::unique_ptr<VirtualKeyboard> keyboard)
    : m_keyboard(std::move(keyboard)) {}

VirtualKeyboardPaste::~VirtualKeyboardPaste() = default;

void VirtualKeyboardPaste::paste(bool withShift, Done done) {
    const auto wait = std::chrono::milliseconds(m_keyboard->settled().remainingTime());
    QTimer::singleShot(wait, this, [this, withShift, done = std::move(done)] {
        // A paste queued behind one that lost the connection finds no keyboard.
        if (!m_keyboard) {
            done(false);
            return;
        }
        const bool sent = withShift ? m_keyboard->tap({KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_V})
                                    : m_keyboard->tap({KEY_LEFTCTRL, KEY_V});
        if (!sent) {
            qCWarning(lcOutput).noquote() << "The virtual keyboard lost its connection to the compositor";
            m_keyboard.reset();
        }
        done(sent);
    });
}
