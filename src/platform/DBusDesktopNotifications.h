#pragma once

#include "platform/DesktopNotifications.h"

#include <QDBusConnection>
#include <QIcon>

// Notifications through the freedesktop notification service ("org.freedesktop.Notifications"
// on the session bus). Each names the application's launcher entry ("desktop-entry"), so the
// desktop files it under the application, and carries its icon: the icon theme's name when the
// theme holds it, else the picture itself ("image-data"). The call is sent without waiting for
// its reply, so a slow service never holds anything up; it is sent only where a service runs, or
// the bus can start one (a compositor such as sway comes without any): elsewhere, and without a
// bus, it stays silent. GUI thread.
class DBusDesktopNotifications : public DesktopNotifications {
public:
    static inline const QString kService = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
    // The side of the picture sent when the icon theme does not hold the icon.
    static constexpr int kImageSide = 48;

    // The user's session bus and the application's window icon.
    DBusDesktopNotifications();
    // A null `icon` stands for the application's window icon at each notification.
    explicit DBusDesktopNotifications(QDBusConnection bus, QIcon icon = {});

    void notify(const QString& summary, const QString& body) override;
    // Whether a notification service owns the name on the bus, or the bus can start one.
    bool hasService() const;

private:
    QDBusConnection bus_;
    QIcon icon_;
};
