#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>

class UserDefaults;

// The lock-screen wallpaper feature's switch, kept in the user defaults under
// "enableLockScreen". Assigning it announces the new value at once and then, in a coroutine,
// installs the application's manifest entries (on) or puts the stock manifest back (off) and
// restarts the extension; only then is the choice stored. A failed step puts the published value
// back, and nothing else: no step runs the other way, so a failure never turns into an
// alternation of installs and restores. While a switch runs, assignments of the other value are
// refused (the current value is announced again). GUI thread; never blocks it.
class LockScreenService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setIsEnabled NOTIFY isEnabledChanged)

public:
    static inline const QString kUserDefaultsKey = QStringLiteral("enableLockScreen");

    // The standard user defaults.
    explicit LockScreenService(QObject* parent = nullptr);
    explicit LockScreenService(UserDefaults& defaults, QObject* parent = nullptr);

    static LockScreenService& shared();

    bool isEnabled() const { return isEnabled_; }
    // Every assignment is announced, an unchanged value included.
    void setIsEnabled(bool enabled);
    // A switching step is running.
    bool isProcessing() const { return isProcessing_; }

signals:
    void isEnabledChanged(bool enabled);

private:
    // Starts the switching step for an assignment, when one is due.
    void setEnabled(bool enabled);
    static QCoro::Task<> switchTo(QPointer<LockScreenService> self, bool enabled);
    void publish(bool enabled);

    UserDefaults& defaults_;
    bool isProcessing_ = false;
    bool isEnabled_;
};
