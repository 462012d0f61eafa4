#pragma once

#include <QCoro/QCoroTask>

// The update check every launch makes: when the update feed offers a newer version, it is
// downloaded and installed at once, with its progress in the in-app toast (download up to 90 %,
// installation the rest). Failures end in an "Update failed" toast; nothing is retried before
// the next launch. GUI thread; never throws.
class LaunchUpdateCheck {
public:
    static constexpr double kDownloadShare = 0.9;
    static constexpr double kFailureToastSeconds = 3.0;

    static QCoro::Task<> checkForUpdatesOnLaunch();
};
