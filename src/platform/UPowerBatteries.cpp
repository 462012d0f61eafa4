#include "platform/UPowerBatteries.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {
const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kPath = QStringLiteral("/org/freedesktop/UPower");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

constexpr uint kTypeBattery = 2;
// Discharging, empty and pending discharge: the battery is what powers the machine.
constexpr uint kStatesOnBattery[] = {2, 3, 6};

// The machine's own battery as a power source; nothing for anything else (mains, a mouse, a UPS).
std::optional<PowerSourceDescription> describe(const QVariantMap& device)
{
    if (device.value(QStringLiteral("Type")).toUInt() != kTypeBattery || !device.value(QStringLiteral("PowerSupply")).toBool()
        || !device.value(QStringLiteral("IsPresent"), true).toBool())
        return std::nullopt;
    PowerSourceDescription battery;
    battery.transportType = PowerSourceDescription::kInternalTransport;
    bool isNumber = false;
    const double percentage = device.value(QStringLiteral("Percentage")).toDouble(&isNumber);
    if (isNumber) {
        battery.currentCapacity = qint64(std::lround(percentage));
        battery.maxCapacity = 100;
    }
    if (device.contains(QStringLiteral("State"))) {
        const uint state = device.value(QStringLiteral("State")).toUInt();
        const bool onBattery = std::find(std::begin(kStatesOnBattery), std::end(kStatesOnBattery), state) != std::end(kStatesOnBattery);
        battery.powerSourceState = onBattery ? PowerSourceDescription::kBatteryPowerState : PowerSourceDescription::kACPowerState;
    }
    return battery;
}
} // namespace

UPowerBatteries::UPowerBatteries(QDBusConnection system, QObject* parent) : QObject(parent), system_(std::move(system))
{
    if (!system_.isConnected())
        return;
    system_.connect(kService, kPath, kService, QStringLiteral("DeviceAdded"), this, SLOT(refresh()));
    system_.connect(kService, kPath, kService, QStringLiteral("DeviceRemoved"), this, SLOT(refresh()));
    refresh();
}

void UPowerBatteries::refresh()
{
    const quint64 generation = ++generation_;
    auto* watcher = new QDBusPendingCallWatcher(
        system_.asyncCall(QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("EnumerateDevices"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
        [this, generation](QDBusPendingCallWatcher* call) { devicesListed(call, generation); });
}

void UPowerBatteries::devicesListed(QDBusPendingCallWatcher* watcher, quint64 generation)
{
    watcher->deleteLater();
    const QDBusPendingReply<QList<QDBusObjectPath>> reply = *watcher;
    // No daemon: the sysfs reading stands in.
    if (generation != generation_ || reply.isError())
        return;
    const QList<QDBusObjectPath> devices = reply.value();
    pending_ = QList<std::optional<PowerSourceDescription>>(devices.size());
    outstanding_ = int(devices.size());
    for (int index = 0; index < devices.size(); ++index) {
        watchDevice(devices[index]);
        QDBusMessage call = QDBusMessage::createMethodCall(kService, devices[index].path(), kProperties, QStringLiteral("GetAll"));
        call << kDeviceInterface;
        auto* read = new QDBusPendingCallWatcher(system_.asyncCall(call), this);
        connect(read, &QDBusPendingCallWatcher::finished, this,
            [this, generation, index](QDBusPendingCallWatcher* answer) { deviceRead(answer, generation, index); });
    }
    finishIfComplete(generation);
}

void UPowerBatteries::deviceRead(QDBusPendingCallWatcher* watcher, quint64 generation, int index)
{
    watcher->deleteLater();
    if (generation != generation_)
        return;
    const QDBusPendingReply<QVariantMap> reply = *watcher;
    if (!reply.isError())
        pending_[index] = describe(reply.value());
    --outstanding_;
    finishIfComplete(generation);
}

void UPowerBatteries::finishIfComplete(quint64 generation)
{
    if (generation != generation_ || outstanding_ > 0)
        return;
    QList<PowerSourceDescription> batteries;
    for (const std::optional<PowerSourceDescription>& battery : std::as_const(pending_))
        if (battery)
            batteries.append(*battery);
    const bool wasAvailable = available_;
    available_ = true;
    if (wasAvailable && batteries == batteries_)
        return;
    batteries_ = std::move(batteries);
    Q_EMIT changed();
}

void UPowerBatteries::watchDevice(const QDBusObjectPath& path)
{
    if (watchedDevices_.contains(path.path()))
        return;
    watchedDevices_.insert(path.path());
    system_.connect(kService, path.path(), kProperties, QStringLiteral("PropertiesChanged"), this, SLOT(refresh()));
}
