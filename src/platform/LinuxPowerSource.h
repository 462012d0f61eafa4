#pragma once

#include "platform/PowerSource.h"

#include <QDBusConnection>

class PowerProfiles;
class QTimer;
class UPowerBatteries;

// Power on Linux: the batteries from the UPower daemon, or from sysfs while the daemon has not
// answered or is missing (then re-read once a minute, since sysfs sends no change events), and
// the low-power mode from the power-profiles daemon. Silent without a system bus. GUI thread.
class LinuxPowerSource : public PowerSource {
    Q_OBJECT
public:
    static constexpr int kSysfsPollMs = 60'000;

    // The system bus and the kernel's power-supply folder.
    explicit LinuxPowerSource(QObject* parent = nullptr);
    LinuxPowerSource(QDBusConnection system, QString sysfsRoot, QObject* parent = nullptr);

    bool isLowPowerModeEnabled() const override;
    QList<PowerSourceDescription> sources() const override;

private:
    void pollSysfs();

    QString sysfsRoot_;
    UPowerBatteries* upower_;
    PowerProfiles* profiles_;
    QTimer* sysfsPoll_;
    QList<PowerSourceDescription> lastSysfs_;
};
