#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class QDBusPendingCallWatcher;

// The power profile the user chose through the power-profiles daemon (system bus, under its
// current and its older name); the "power-saver" profile is the system's low-power mode.
// Asynchronous, so a missing daemon only means "not saving power". GUI thread.
class PowerProfiles : public QObject {
    Q_OBJECT
public:
    static inline const QString kPowerSaver = QStringLiteral("power-saver");

    explicit PowerProfiles(QDBusConnection system, QObject* parent = nullptr);

    bool isPowerSaver() const { return activeProfile_ == kPowerSaver; }

Q_SIGNALS:
    void changed();

private Q_SLOTS:
    void refresh();

private:
    void profileRead(QDBusPendingCallWatcher* watcher);

    QDBusConnection system_;
    QString activeProfile_;
};
