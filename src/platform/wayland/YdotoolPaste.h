#pragma once

#include "platform/wayland/PasteMethod.h"

#include <QObject>

/// The paste typed by ydotool, whose daemon feeds a kernel input device and so reaches every compositor;
/// only while the daemon runs (its socket is there), since the tool needs the device the daemon holds.
class YdotoolPaste : public QObject, public PasteMethod {
    Q_OBJECT

public:
    QString name() const override { return QStringLiteral("ydotool"); }
    bool isAvailable() const override;
    void paste(bool withShift, Done done) override;
};
