#pragma once

#include <QByteArray>

#include <ctime>

// Moves the process into another local time zone while alive.
class TimeZoneOverride {
public:
    explicit TimeZoneOverride(const char* zone) : previous_(qgetenv("TZ")), hadPrevious_(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~TimeZoneOverride()
    {
        if (hadPrevious_)
            qputenv("TZ", previous_);
        else
            qunsetenv("TZ");
        tzset();
    }
    TimeZoneOverride(const TimeZoneOverride&) = delete;
    TimeZoneOverride& operator=(const TimeZoneOverride&) = delete;

private:
    QByteArray previous_;
    bool hadPrevious_;
};
