#pragma once

#include <QCoro/QCoroTask>
#include <QPointer>

class UpdaterController;

// The menu's update command: removes the application's own folder in Caches, so that the check
// and whatever follows read fresh data, then asks the controller, when there is one, for a
// user-visible update check. GUI thread.
QCoro::Task<> checkForUpdatesWithCacheClear(QPointer<UpdaterController> controller);
