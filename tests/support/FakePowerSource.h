#pragma once

#include "platform/PowerSource.h"

// Power sources and a low-power mode a test sets; each setter announces the change as the
// system would. Install with Shared<PowerSource>::Override.
class FakePowerSource : public PowerSource {
    Q_OBJECT
public:
    using PowerSource::PowerSource;

    bool isLowPowerModeEnabled() const override { return lowPowerMode_; }
    QList<PowerSourceDescription> sources() const override { return sources_; }

    void setLowPowerMode(bool enabled);
    void setSources(QList<PowerSourceDescription> sources);
    // The machine's own battery at `percent`, on battery power or on the charger.
    void setBattery(qint64 percent, bool onBattery);

private:
    bool lowPowerMode_ = false;
    QList<PowerSourceDescription> sources_;
};
