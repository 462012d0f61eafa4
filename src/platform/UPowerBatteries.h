#pragma once

#include "platform/PowerSourceDescription.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QSet>

class QDBusPendingCallWatcher;
class QDBusObjectPath;

// The machine's own batteries as the UPower daemon reports them on the system bus, kept current
// from its signals. Every call is asynchronous, so a slow or missing daemon never holds up the
// GUI thread; until the first answer (and when the daemon is missing) isAvailable() is false.
// GUI thread.
class UPowerBatteries : public QObject {
    Q_OBJECT
public:
    explicit UPowerBatteries(QDBusConnection system, QObject* parent = nullptr);

    bool isAvailable() const { return available_; }
    const QList<PowerSourceDescription>& batteries() const { return batteries_; }

Q_SIGNALS:
    // The daemon answered for the first time, or a battery changed.
    void changed();

private Q_SLOTS:
    void refresh();

private:
    void devicesListed(QDBusPendingCallWatcher* watcher, quint64 generation);
    void deviceRead(QDBusPendingCallWatcher* watcher, quint64 generation, int index);
    void finishIfComplete(quint64 generation);
    void watchDevice(const QDBusObjectPath& path);

    QDBusConnection system_;
    bool available_ = false;
    QList<PowerSourceDescription> batteries_;
    // The refresh under way: its device answers, in the daemon's order, and how many are missing.
    quint64 generation_ = 0;
    QList<std::optional<PowerSourceDescription>> pending_;
    int outstanding_ = 0;
    QSet<QString> watchedDevices_;
};
