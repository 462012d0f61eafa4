#pragma once

#include "platform/DesktopNotifications.h"

#include <QDBusConnection>

// Notifications through the freedesktop notification service ("org.freedesktop.Notifications"
// on the session bus). The call is sent without waiting for its reply, so a missing or slow
// service never holds anything up; without a bus it stays silent. GUI thread.
class DBusDesktopNotifications : public DesktopNotifications {
public:
    static inline const QString kService = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

    // The user's session bus.
    DBusDesktopNotifications();
    explicit DBusDesktopNotifications(QDBusConnection bus);

    void notify(const QString& summary, const QString& body) override;

private:
    QDBusConnection bus_;
};
