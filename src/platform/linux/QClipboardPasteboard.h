#pragma once

#include "platform/Pasteboard.h"

/// The desktop's clipboard through Qt. The program stays the owner of what it puts there, so the text can
/// be pasted for as long as the program runs or until another application takes the clipboard.
class QClipboardPasteboard : public Pasteboard {
public:
    void clearContents() override;
    void setString(const QString& text) override;
};
