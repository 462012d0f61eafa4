#include "platform/PowerProfiles.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {
struct Daemon {
    QString service;
    QString path;
};

// The daemon's current name first; older releases only answer under the second.
const Daemon kDaemons[] = {
    {QStringLiteral("org.freedesktop.UPower.PowerProfiles"), QStringLiteral("/org/freedesktop/UPower/PowerProfiles")},
    {QStringLiteral("net.hadess.PowerProfiles"), QStringLiteral("/net/hadess/PowerProfiles")},
};
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
} // namespace

PowerProfiles::PowerProfiles(QDBusConnection system, QObject* parent) : QObject(parent), system_(std::move(system))
{
    if (!system_.isConnected())
        return;
    for (const Daemon& daemon : kDaemons)
        system_.connect(daemon.service, daemon.path, kProperties, QStringLiteral("PropertiesChanged"), this, SLOT(refresh()));
    refresh();
}

void PowerProfiles::refresh()
{
    for (const Daemon& daemon : kDaemons) {
        QDBusMessage call = QDBusMessage::createMethodCall(daemon.service, daemon.path, kProperties, QStringLiteral("Get"));
        call << daemon.service << QStringLiteral("ActiveProfile");
        auto* watcher = new QDBusPendingCallWatcher(system_.asyncCall(call), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, &PowerProfiles::profileRead);
    }
}

void PowerProfiles::profileRead(QDBusPendingCallWatcher* watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<QDBusVariant> reply = *watcher;
    // The name the daemon does not answer under fails here and changes nothing.
    if (reply.isError())
        return;
    const QString profile = reply.value().variant().toString();
    if (profile == activeProfile_)
        return;
    activeProfile_ = profile;
    Q_EMIT changed();
}
