#pragma once

#include <QString>

#include <optional>

// One power source as the system describes it; an entry the system leaves out (or gives in a
// form that does not fit) is absent. Capacities are percentages or charge units, as the source
// reports them.
struct PowerSourceDescription {
    static inline const QString kInternalTransport = QStringLiteral("Internal");
    static inline const QString kBatteryPowerState = QStringLiteral("Battery Power");
    static inline const QString kACPowerState = QStringLiteral("AC Power");

    std::optional<QString> transportType;   // "Internal" for the machine's own battery
    std::optional<qint64> currentCapacity;
    std::optional<qint64> maxCapacity;
    std::optional<QString> powerSourceState; // "Battery Power" while running on it

    bool operator==(const PowerSourceDescription&) const = default;
};
