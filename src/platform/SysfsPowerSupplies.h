#pragma once

#include "platform/PowerSourceDescription.h"

#include <QList>
#include <QString>

// The machine's own batteries as the kernel lists them under /sys/class/power_supply, for
// systems without the UPower daemon. Only reads small files; safe from any thread.
class SysfsPowerSupplies {
public:
    static inline const QString kDefaultRoot = QStringLiteral("/sys/class/power_supply");

    // Batteries of the system (a peripheral's battery, scope "Device", is left out), by name.
    static QList<PowerSourceDescription> read(const QString& root = kDefaultRoot);
};
