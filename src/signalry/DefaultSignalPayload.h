#pragma once

#include "signalry/Parameters.h"

#include <QDateTime>

#include <optional>

namespace signalry {

class DefaultsSuite;
class SessionManager;
struct SystemFacts;

// The parameters every signal carries: device, system, application, user preferences, calendar
// moment, accessibility and retention. Built afresh for each signal on the GUI thread; the facts
// that cannot change while the process runs are read once.
class DefaultSignalPayload {
public:
    static constexpr qint64 kLastMonthSeconds = 2'592'000; // 30 days

    static Parameters parameters();

    // The entries taken from the system facts, without screen, preferences and time zone.
    static Parameters baseParameters(const SystemFacts& facts, const std::optional<QString>& receiptPath);
    // "UTC+2", "UTC-3:30", "UTC+0".
    static QString timeZoneText(int offsetFromUtcSeconds);
    static Parameters calendarParameters(const QDateTime& localMoment);
    static Parameters retentionParameters(const DefaultsSuite* suite, const SessionManager& sessions, const QDateTime& now);
    // The calendar day 30 days before `now`, in the same (local) time zone as the stored days.
    static QString lastMonthCutoffDay(const QDateTime& now);

    // From the store receipt's location; without a receipt neither flag is true.
    struct StoreFlags {
        bool isTestFlight = false;
        bool isAppStore = false;
    };
    static StoreFlags storeFlags(const std::optional<QString>& receiptPath);
};

} // namespace signalry
