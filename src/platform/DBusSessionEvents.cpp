#include "platform/DBusSessionEvents.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <unistd.h>

namespace {
const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kLogindSession = QStringLiteral("org.freedesktop.login1.Session");

struct ScreenSaver {
    QString path;
    QString interface;
};
} // namespace

DBusSessionEvents::DBusSessionEvents(QObject* parent)
    : DBusSessionEvents(QDBusConnection::sessionBus(), QDBusConnection::systemBus(), parent)
{
}

DBusSessionEvents::DBusSessionEvents(QDBusConnection session, QDBusConnection system, QObject* parent)
    : SessionEvents(parent), session_(std::move(session)), system_(std::move(system))
{
    watchScreenSavers();
    watchLogind();
}

void DBusSessionEvents::watchScreenSavers()
{
    if (!session_.isConnected())
        return;
    // Signals are matched by interface and member from any sender, so a screen saver that starts
    // after us is heard too.
    const ScreenSaver savers[] = {
        {QStringLiteral("/org/freedesktop/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver")},
        {QStringLiteral("/ScreenSaver"), QStringLiteral("org.freedesktop.ScreenSaver")},
        {QStringLiteral("/org/gnome/ScreenSaver"), QStringLiteral("org.gnome.ScreenSaver")},
    };
    for (const ScreenSaver& saver : savers)
        session_.connect(QString(), saver.path, saver.interface, QStringLiteral("ActiveChanged"), this,
            SLOT(screenSaverActiveChanged(bool)));
}

void DBusSessionEvents::watchLogind()
{
    if (!system_.isConnected())
        return;
    system_.connect(kLogindService, kLogindPath, kLogindManager, QStringLiteral("PrepareForSleep"), this,
        SLOT(prepareForSleep(bool)));
    // Lock and Unlock are signals of this process's own session object, found without blocking.
    QDBusMessage call = QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager,
        QStringLiteral("GetSessionByPID"));
    call << quint32(::getpid());
    auto* watcher = new QDBusPendingCallWatcher(system_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &DBusSessionEvents::watchSession);
}

void DBusSessionEvents::watchSession(QDBusPendingCallWatcher* watcher)
{
    watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
    // Outside a logind session (a container, a test) only the screen savers report.
    if (reply.isError())
        return;
    const QString path = reply.value().path();
    system_.connect(kLogindService, path, kLogindSession, QStringLiteral("Lock"), this, SLOT(sessionLocked()));
    system_.connect(kLogindService, path, kLogindSession, QStringLiteral("Unlock"), this, SLOT(sessionUnlocked()));
}

void DBusSessionEvents::screenSaverActiveChanged(bool active) { report(active); }

void DBusSessionEvents::sessionLocked() { report(true); }

void DBusSessionEvents::sessionUnlocked() { report(false); }

void DBusSessionEvents::prepareForSleep(bool sleeping)
{
    if (sleeping)
        Q_EMIT willSleep();
    else
        Q_EMIT screensWoke();
}

void DBusSessionEvents::report(bool lockedNow)
{
    if (locked_ == lockedNow)
        return;
    locked_ = lockedNow;
    if (lockedNow)
        Q_EMIT locked();
    else
        Q_EMIT unlocked();
}
