#pragma once

#include "foundation/UserDefaults.h"

// Makes every opening of a settings database fail with `error` (0: it opens) while alive.
class SettingsReadFault {
public:
    explicit SettingsReadFault(int error) : error_(error)
    {
        UserDefaults::setOpenFault([this](const QString&) { return error_; });
    }
    ~SettingsReadFault() { UserDefaults::setOpenFault({}); }
    SettingsReadFault(const SettingsReadFault&) = delete;
    SettingsReadFault& operator=(const SettingsReadFault&) = delete;

    void pass() { error_ = 0; }

private:
    int error_;
};
