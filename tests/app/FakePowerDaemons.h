#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QList>
#include <QObject>

// Stand-ins for the UPower and power-profiles daemons on a test's private bus: one UPower
// device (the machine's battery) and the active power profile, whose changes a test announces
// with PropertiesChanged as the daemons do.
class FakeUPowerDevice : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UPower.Device")
    Q_PROPERTY(uint Type MEMBER type)
    Q_PROPERTY(bool PowerSupply MEMBER powerSupply)
    Q_PROPERTY(bool IsPresent MEMBER isPresent)
    Q_PROPERTY(double Percentage MEMBER percentage)
    Q_PROPERTY(uint State MEMBER state)
public:
    uint type = 2;
    bool powerSupply = true;
    bool isPresent = true;
    double percentage = 80;
    uint state = 1;
};

class FakeUPower : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.UPower")
public:
    QList<QDBusObjectPath> devices;

public Q_SLOTS:
    QList<QDBusObjectPath> EnumerateDevices() { return devices; }
};

class FakePowerProfiles : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "net.hadess.PowerProfiles")
    Q_PROPERTY(QString ActiveProfile MEMBER activeProfile)
public:
    QString activeProfile = QStringLiteral("balanced");
};

class FakePowerDaemons {
public:
    static inline const QString kBatteryPath = QStringLiteral("/org/freedesktop/UPower/devices/battery_BAT0");

    // Registers both daemons on `connection`; false when a name or object is taken.
    bool registerOn(QDBusConnection connection);

    FakeUPowerDevice battery;
    FakeUPower upower;
    FakePowerProfiles profiles;
};
