#pragma once

#include "platform/SessionEvents.h"

#include <QDBusConnection>

#include <optional>

class QDBusPendingCallWatcher;

// Session events from D-Bus: the screen savers' ActiveChanged (freedesktop and GNOME, session
// bus), logind's Lock and Unlock of this session and PrepareForSleep (system bus). Several of
// these report the same lock, so a lock or an unlock is announced only when it changes the state
// last announced (at start the state is unknown, so the first report of either counts). Without
// a bus it stays silent. GUI thread.
class DBusSessionEvents : public SessionEvents {
    Q_OBJECT
public:
    // The user's session bus and the system bus.
    explicit DBusSessionEvents(QObject* parent = nullptr);
    DBusSessionEvents(QDBusConnection session, QDBusConnection system, QObject* parent = nullptr);

private Q_SLOTS:
    void screenSaverActiveChanged(bool active);
    void sessionLocked();
    void sessionUnlocked();
    void prepareForSleep(bool sleeping);

private:
    void watchScreenSavers();
    void watchLogind();
    void watchSession(QDBusPendingCallWatcher* reply);
    void report(bool lockedNow);

    QDBusConnection session_;
    QDBusConnection system_;
    std::optional<bool> locked_;
};
