#include "FakePowerDaemons.h"

bool FakePowerDaemons::registerOn(QDBusConnection connection)
{
    upower.devices = {QDBusObjectPath(kBatteryPath)};
    const auto exported = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties;
    return connection.registerService(QStringLiteral("org.freedesktop.UPower"))
        && connection.registerService(QStringLiteral("net.hadess.PowerProfiles"))
        && connection.registerObject(QStringLiteral("/org/freedesktop/UPower"), &upower, exported)
        && connection.registerObject(kBatteryPath, &battery, exported)
        && connection.registerObject(QStringLiteral("/net/hadess/PowerProfiles"), &profiles, exported);
}
