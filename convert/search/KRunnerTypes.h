#pragma once
// The structures KRunner's D-Bus interface passes: a match, a(sssida{sv}),
// and an action, a(sss).

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

struct RemoteMatch {
    QString id;
    QString text;
    QString iconName;
    int type = 0;  // 100 exact, 70 helper, 50 informational, 30 possible, 10 completion
    double relevance = 0;
    QVariantMap properties;
};
using RemoteMatches = QList<RemoteMatch>;

struct RemoteAction {
    QString id;
    QString text;
    QString iconName;
};
using RemoteActions = QList<RemoteAction>;

QDBusArgument &operator<<(QDBusArgument &argument, const RemoteMatch &match);
const QDBusArgument &operator>>(const QDBusArgument &argument, RemoteMatch &match);
QDBusArgument &operator<<(QDBusArgument &argument, const RemoteAction &action);
const QDBusArgument &operator>>(const QDBusArgument &argument, RemoteAction &action);

Q_DECLARE_METATYPE(RemoteMatch)
Q_DECLARE_METATYPE(RemoteAction)

// Makes these types, and GNOME's aa{sv}, known to QtDBus; before any object
// is registered.
void RegisterSearchDBusTypes();
