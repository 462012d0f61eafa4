#pragma once

#include "foundation/UserDefaults.h"

// Makes every read of a settings file fail with `error` (0: reads go through) while alive.
class SettingsReadFault {
public:
    explicit SettingsReadFault(int error) : error_(error)
    {
        UserDefaults::setReadFault([this](const QString&) { return error_; });
    }
    ~SettingsReadFault() { UserDefaults::setReadFault({}); }
    SettingsReadFault(const SettingsReadFault&) = delete;
    SettingsReadFault& operator=(const SettingsReadFault&) = delete;

    void pass() { error_ = 0; }

private:
    int error_;
};
