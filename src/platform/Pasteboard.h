#pragma once

#include <QString>

/// The system clipboard.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    virtual void clearContents() = 0;
    virtual void setString(const QString& text) = 0;
};
