#include "app/LaunchUpdateCheck.h"

#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "state/NotificationManager.h"
#include "updater/UpdateCheckService.h"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>

namespace {
const QString kType = QStringLiteral("AppDelegate");

QImage appIcon()
{
    const QImage named(QStringLiteral(":/AppIcon"));
    if (!named.isNull())
        return named;
    return QGuiApplication::windowIcon().pixmap(128).toImage();
}

// Progress may be reported from any thread; each report becomes a later step on the GUI thread.
void reportProgress(double fraction)
{
    postToMain([fraction] { NotificationManager::shared().updateProgress(fraction); });
}
} // namespace

QCoro::Task<> LaunchUpdateCheck::checkForUpdatesOnLaunch()
{
    logLine(QStringLiteral("🔍"), kType, QStringLiteral("Checking for updates on app launch (enforced)..."));
    UpdateCheckService& updater = UpdateCheckService::shared();
    const std::optional<UpdateInfo> update = co_await updater.checkForUpdates();
    if (!update)
        co_return;
    logLine(QStringLiteral("✅"), kType, QStringLiteral("Update found on launch, starting download..."));

    NotificationManager& toast = NotificationManager::shared();
    toast.setTitle(QStringLiteral("App Update"));
    toast.setMessage(QStringLiteral("Downloading..."));
    toast.setThumbnailImage(appIcon());
    toast.setProgress(0);
    toast.setShowProgress(true);
    // show() presents on a later turn by itself.
    toast.show();

    try {
        const QString package = co_await updater.downloadUpdate(*update, [](std::optional<double> fraction) {
            if (fraction)
                reportProgress(kDownloadShare * *fraction);
        });
        toast.updateMessage(QStringLiteral("Installing..."));
        toast.updateProgress(kDownloadShare);
        co_await updater.installUpdate(package, [](double fraction) { reportProgress(kDownloadShare + (1 - kDownloadShare) * fraction); });
    } catch (const std::exception& error) {
        logLine(QStringLiteral("❌"), kType, QStringLiteral("Launch update failed: ") + describeError(error));
        toast.updateMessage(QStringLiteral("Update failed"));
        toast.updateProgress(0.0);
        toast.hide(kFailureToastSeconds);
        co_return;
    }
    toast.updateMessage(QStringLiteral("Update installed"));
    toast.updateProgress(1.0);
    logLine(QStringLiteral("✅"), kType, QStringLiteral("Update installed successfully"));
}
