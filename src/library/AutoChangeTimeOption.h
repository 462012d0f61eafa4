#pragma once

#include <QHashFunctions>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

// How often a playlist changes the wallpaper: seven fixed intervals, offered in this order by
// every list that shows them. A stored interval that is none of them is shown as the nearest
// one. A plain value; equality and hashing go by the seconds.
class AutoChangeTimeOption {
public:
    // The seconds of each interval.
    enum Case : qint64 {
        fiveMinutes = 300,
        fifteenMinutes = 900,
        thirtyMinutes = 1800,
        oneHour = 3600,
        sixHours = 21600,
        daily = 86400,
        weekly = 604800,
    };

    // Implicit: a case is an option.
    constexpr AutoChangeTimeOption(Case option) : case_(option) {}

    static constexpr std::array<Case, 7> allCases{
        fiveMinutes, fifteenMinutes, thirtyMinutes, oneHour, sixHours, daily, weekly};

    // Exactly one of the seven intervals, else nothing.
    static std::optional<AutoChangeTimeOption> fromRawValue(qint64 seconds);
    // The option nearest to any number of seconds; a tie goes to the shorter interval.
    static AutoChangeTimeOption nearest(qint64 seconds);

    constexpr Case value() const { return case_; }
    constexpr qint64 rawValue() const { return case_; }
    // Shown as it is, never translated: "5 minutes" ... "Weekly".
    QString label() const;

    friend constexpr bool operator==(AutoChangeTimeOption a, AutoChangeTimeOption b) { return a.case_ == b.case_; }

private:
    Case case_;
};

inline size_t qHash(AutoChangeTimeOption option, size_t seed = 0) noexcept { return qHash(option.rawValue(), seed); }
