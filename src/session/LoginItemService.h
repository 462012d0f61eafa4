#pragma once

#include <QObject>
#include <QString>

class LoginItem;
class NotificationCenter;
class UserDefaults;

// Registers the application as a login item or removes it, records the wish under
// "startOnLoginEnabled" and announces every call with "LoginItemServiceDidChange"
// {"isEnabled": <the wish>}. Failures are logged and dropped. GUI thread; one shared instance.
class LoginItemService : public QObject {
    Q_OBJECT
public:
    static inline const QString startOnLoginKey = QStringLiteral("startOnLoginEnabled");
    static inline const QString didChangeNotification = QStringLiteral("LoginItemServiceDidChange");
    static inline const QString isEnabledKey = QStringLiteral("isEnabled");

    // The shared login item, standard defaults and notification centre.
    explicit LoginItemService(QObject* parent = nullptr);
    LoginItemService(LoginItem& loginItem, UserDefaults& defaults, NotificationCenter& center, QObject* parent = nullptr);

    static LoginItemService& shared();

    // Whether the system will start the application at login. An item still waiting for the
    // user's approval counts: it is pending, and treating it as off would unregister it. So does
    // one that starts another copy: the session starts that one.
    bool isLoginItemOn() const;

    void setEnabled(bool enabled);

    // A damaged entry of the program's own is written again from the recorded wish (or removed,
    // when the wish is off), with a log line; true when it was damaged. The wish is not touched
    // and nothing is announced: a broken file is no choice of the user's.
    bool repairDamagedItem();
    // An entry that starts another copy of the program (an earlier one the user ran from
    // elsewhere) is written again for this copy, with a log line; the wish is not touched.
    void followThisCopy();

private:
    void registerItem();
    void unregisterItem();

    LoginItem& loginItem_;
    UserDefaults& defaults_;
    NotificationCenter& center_;
};
