#include "updater/UpdateCommand.h"

#include "foundation/Log.h"
#include "foundation/Paths.h"
#include "updater/UpdaterController.h"

#include <QCoro/QCoroFuture>
#include <QDir>
#include <QtConcurrent/QtConcurrentRun>

QCoro::Task<> checkForUpdatesWithCacheClear(QPointer<UpdaterController> controller)
{
    // Transfers go through Http, which keeps no cache of replies: the folder is all there is to clear.
    const QString folder = Paths::appCaches();
    QFuture<bool> removal = QtConcurrent::run([folder] { return !QDir(folder).exists() || QDir(folder).removeRecursively(); });
    const bool cleared = co_await removal;
    if (!cleared)
        logLine(QStringLiteral("Failed to clear cache directory: ") + folder + QStringLiteral(" could not be removed completely"));
    if (controller)
        controller->checkForUpdates();
}
