#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

/// One entry of the GlobalShortcuts portal's shortcut lists, D-Bus type (sa{sv}): an id and its properties
/// (description, preferred_trigger, trigger_description).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(PortalShortcut)

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut);
const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut);

/// Makes PortalShortcut and lists of it known to QtDBus; may be called any number of times.
void registerPortalShortcutTypes();
