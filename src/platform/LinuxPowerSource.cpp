#include "platform/LinuxPowerSource.h"

#include "platform/PowerProfiles.h"
#include "platform/SysfsPowerSupplies.h"
#include "platform/UPowerBatteries.h"

#include <QTimer>

LinuxPowerSource::LinuxPowerSource(QObject* parent)
    : LinuxPowerSource(QDBusConnection::systemBus(), SysfsPowerSupplies::kDefaultRoot, parent)
{
}

LinuxPowerSource::LinuxPowerSource(QDBusConnection system, QString sysfsRoot, QObject* parent)
    : PowerSource(parent), sysfsRoot_(std::move(sysfsRoot)), upower_(new UPowerBatteries(system, this)),
      profiles_(new PowerProfiles(system, this)), sysfsPoll_(new QTimer(this)),
      lastSysfs_(SysfsPowerSupplies::read(sysfsRoot_))
{
    connect(upower_, &UPowerBatteries::changed, this, [this] {
        sysfsPoll_->stop();
        Q_EMIT sourcesChanged();
    });
    connect(profiles_, &PowerProfiles::changed, this, &PowerSource::lowPowerModeChanged);
    // A machine without batteries has nothing to watch.
    if (!lastSysfs_.isEmpty()) {
        connect(sysfsPoll_, &QTimer::timeout, this, &LinuxPowerSource::pollSysfs);
        sysfsPoll_->start(kSysfsPollMs);
    }
}

bool LinuxPowerSource::isLowPowerModeEnabled() const { return profiles_->isPowerSaver(); }

QList<PowerSourceDescription> LinuxPowerSource::sources() const
{
    return upower_->isAvailable() ? upower_->batteries() : SysfsPowerSupplies::read(sysfsRoot_);
}

void LinuxPowerSource::pollSysfs()
{
    QList<PowerSourceDescription> now = SysfsPowerSupplies::read(sysfsRoot_);
    if (now == lastSysfs_)
        return;
    lastSysfs_ = std::move(now);
    Q_EMIT sourcesChanged();
}
