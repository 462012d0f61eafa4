#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

class LoginItemService;
class NotificationCenter;
class UserDefaults;

// The start-at-login switch shown by the settings screen and the tray menu. Every assignment,
// an unchanged value included, drives the login item, records the switch under
// "autoStartWallpaperEngine" and announces "AutoStartServiceDidChange" {"isEnabled": <switch>}.
// The system's login-item status is the authority: the switch starts from it and is pulled
// back to it whenever the login item announces a change. GUI thread; one shared instance.
class AutoStartService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setIsEnabled NOTIFY isEnabledChanged)

public:
    static inline const QString didChangeNotification = QStringLiteral("AutoStartServiceDidChange");
    static inline const QString autoStartKey = QStringLiteral("autoStartWallpaperEngine");

    // The shared login-item service, standard defaults and notification centre.
    explicit AutoStartService(QObject* parent = nullptr);
    AutoStartService(LoginItemService& loginItems, UserDefaults& defaults, NotificationCenter& center, QObject* parent = nullptr);

    static AutoStartService& shared();

    bool isEnabled() const { return isEnabled_; }
    // The switch's binding: runs the full change on every assignment.
    void setIsEnabled(bool enabled);
    void toggle();
    void setEnabled(bool enabled);

Q_SIGNALS:
    // The value changed (assignments of the same value announce only the notification).
    void isEnabledChanged();

private:
    void didSetIsEnabled();
    void handleExternalChange(const QString& name, const QVariantMap& userInfo);

    LoginItemService& loginItems_;
    UserDefaults& defaults_;
    NotificationCenter& center_;
    bool isEnabled_;
};
