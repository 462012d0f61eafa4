#pragma once

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

class DesktopNotifications;
class NotificationManager;
class UserDefaults;

// Tells the user, once per cause and with the reason, that something of theirs could not be
// written to disk: in the window's toast while a window of ours is on screen, else as a desktop
// notification (only the tray runs, and a toast would reach nobody). GUI thread.
class DiskFailureNotice : public QObject {
    Q_OBJECT
public:
    static constexpr double kToastSeconds = 8;

    // `windowShown`: whether a window of the application is on screen now.
    DiskFailureNotice(NotificationManager& toast, DesktopNotifications& desktop, std::function<bool()> windowShown,
        QObject* parent = nullptr);

    // Writes of a defaults store (the settings, the login-window picture) that fail are told as
    // "Settings Not Saved".
    void watch(UserDefaults& defaults);
    // Tells `reason` under `title`, unless this title and reason were told before.
    void tell(const QString& title, const QString& reason);

private:
    NotificationManager& toast_;
    DesktopNotifications& desktop_;
    const std::function<bool()> windowShown_;
    QSet<QString> told_;
};
