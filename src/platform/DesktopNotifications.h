#pragma once

#include <QString>

// The desktop's own notifications (the bubbles the session shows), for news that must reach the
// user when no window of ours is on screen. The Linux implementation is
// DBusDesktopNotifications; tests install a fake with Shared<DesktopNotifications>::Override.
// GUI thread.
class DesktopNotifications {
public:
    virtual ~DesktopNotifications() = default;

    static DesktopNotifications& shared();

    // Shows one notification; nothing happens, and nothing fails, without a notification service.
    virtual void notify(const QString& summary, const QString& body) = 0;
};
