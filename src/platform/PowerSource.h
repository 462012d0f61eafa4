#pragma once

#include "platform/PowerSourceDescription.h"

#include <QList>
#include <QObject>

// The machine's power: its power sources (batteries) and whether the system asks programs to
// save energy (the low-power mode). The Linux implementation is LinuxPowerSource; tests install
// FakePowerSource with Shared<PowerSource>::Override. GUI thread.
class PowerSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    static PowerSource& shared();

    virtual bool isLowPowerModeEnabled() const = 0;
    // In the system's order; empty when the system tells nothing about its power sources.
    virtual QList<PowerSourceDescription> sources() const = 0;

Q_SIGNALS:
    void lowPowerModeChanged();
    // A source was added or removed, or its charge or state changed.
    void sourcesChanged();
};
