#include "library/AutoChangeTimeOption.h"

#include <QCoreApplication>

#include <algorithm>

namespace {
// |a - b| for any two 64-bit values: the true difference always fits in 64 unsigned bits.
quint64 distance(qint64 a, qint64 b)
{
    return a >= b ? quint64(a) - quint64(b) : quint64(b) - quint64(a);
}
} // namespace

std::optional<AutoChangeTimeOption> AutoChangeTimeOption::fromRawValue(qint64 seconds)
{
    const auto found = std::find(allCases.cbegin(), allCases.cend(), seconds);
    if (found == allCases.cend())
        return std::nullopt;
    return AutoChangeTimeOption(*found);
}

AutoChangeTimeOption AutoChangeTimeOption::nearest(qint64 seconds)
{
    Case kept = allCases.front();
    for (const Case option : allCases) {
        // Only a strictly nearer option replaces the kept one, so a tie keeps the shorter.
        if (distance(option, seconds) < distance(kept, seconds))
            kept = option;
    }
    return kept;
}

QString AutoChangeTimeOption::label() const
{
    switch (case_) {
    case fiveMinutes: return QCoreApplication::translate("AutoChangeTimeOption", "5 minutes");
    case fifteenMinutes: return QCoreApplication::translate("AutoChangeTimeOption", "15 minutes");
    case thirtyMinutes: return QCoreApplication::translate("AutoChangeTimeOption", "30 minutes");
    case oneHour: return QCoreApplication::translate("AutoChangeTimeOption", "1 hour");
    case sixHours: return QCoreApplication::translate("AutoChangeTimeOption", "6 hours");
    case daily: return QCoreApplication::translate("AutoChangeTimeOption", "Daily");
    case weekly: return QCoreApplication::translate("AutoChangeTimeOption", "Weekly");
    }
    return {};
}
