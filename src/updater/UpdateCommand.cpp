#include "updater/UpdateCommand.h"

#include "foundation/Log.h"
#include "updater/UpdaterController.h"
#include "updater/UpdaterFolders.h"

#include <QCoro/QCoroFuture>
#include <QtConcurrent/QtConcurrentRun>

QCoro::Task<> checkForUpdatesWithCacheClear(QPointer<UpdaterController> controller)
{
    // Transfers go through Http, which keeps no cache of replies: the folder is all there is to clear.
    QFuture<bool> removal = QtConcurrent::run([] { return UpdaterFolders::clearCaches(); });
    const bool cleared = co_await removal;
    if (!cleared) {
        logLine(QStringLiteral("Failed to clear cache directory: ") + UpdaterFolders::cachesFolder()
            + QStringLiteral(" could not be removed completely"));
    }
    if (controller)
        controller->checkForUpdates();
}
