#include "platform/SysfsPowerSupplies.h"

#include <QDir>
#include <QFile>

namespace {
QString attribute(const QString& folder, const char* name)
{
    QFile file(folder + QLatin1Char('/') + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).trimmed();
}
} // namespace

QList<PowerSourceDescription> SysfsPowerSupplies::read(const QString& root)
{
    QList<PowerSourceDescription> batteries;
    const QDir folder(root);
    const QStringList names = folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : names) {
        const QString supply = folder.filePath(name);
        if (attribute(supply, "type") != QStringLiteral("Battery") || attribute(supply, "scope") == QStringLiteral("Device"))
            continue;
        if (attribute(supply, "present") == QStringLiteral("0"))
            continue;
        PowerSourceDescription battery;
        battery.transportType = PowerSourceDescription::kInternalTransport;
        bool isNumber = false;
        const qint64 capacity = attribute(supply, "capacity").toLongLong(&isNumber);
        if (isNumber) {
            battery.currentCapacity = capacity;
            battery.maxCapacity = 100;
        }
        const QString status = attribute(supply, "status");
        if (!status.isEmpty())
            battery.powerSourceState = status == QStringLiteral("Discharging") ? PowerSourceDescription::kBatteryPowerState
                                                                               : PowerSourceDescription::kACPowerState;
        batteries.append(battery);
    }
    return batteries;
}
