#pragma once

#include "platform/wayland/PasteMethod.h"

#include <QObject>

#include <memory>

class VirtualKeyboard;

/// The paste typed on the program's own virtual keyboard (wlroots compositors such as sway and Hyprland).
class VirtualKeyboardPaste : public QObject, public PasteMethod {
public:
    explicit VirtualKeyboardPaste(std::unique_ptr<VirtualKeyboard> keyboard);
    ~VirtualKeyboardPaste() override;

    QString name() const override { return QStringLiteral("the virtual keyboard"); }
    bool isAvailable() const override { return m_keyboard != nullptr; }
    void paste(bool withShift, Done done) override;

private:
    std::unique_ptr<VirtualKeyboard> m_keyboard;
};
