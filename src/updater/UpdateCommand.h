#pragma once

#include <QCoro/QCoroTask>
#include <QPointer>

class UpdaterController;

// The menu's update command: clears the updater's caches folder (as the launch does), so that
// the check reads fresh data, then asks the controller, when there is one, for a user-visible
// update check. The application's other caches stay. GUI thread.
QCoro::Task<> checkForUpdatesWithCacheClear(QPointer<UpdaterController> controller);
