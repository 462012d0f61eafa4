#include "support/FakePowerSource.h"

void FakePowerSource::setLowPowerMode(bool enabled)
{
    lowPowerMode_ = enabled;
    Q_EMIT lowPowerModeChanged();
}

void FakePowerSource::setSources(QList<PowerSourceDescription> sources)
{
    sources_ = std::move(sources);
    Q_EMIT sourcesChanged();
}

void FakePowerSource::setBattery(qint64 percent, bool onBattery)
{
    PowerSourceDescription battery;
    battery.transportType = PowerSourceDescription::kInternalTransport;
    battery.currentCapacity = percent;
    battery.maxCapacity = 100;
    battery.powerSourceState = onBattery ? PowerSourceDescription::kBatteryPowerState : PowerSourceDescription::kACPowerState;
    setSources({battery});
}
