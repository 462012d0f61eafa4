#include "updater/UpdateRunner.h"

#include "foundation/AppError.h"
#include "foundation/CancelledError.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "state/NotificationManager.h"
#include "updater/UpdateCheckService.h"
#include "updater/UpdateInfo.h"

#include <QGuiApplication>
#include <QIcon>

namespace {
constexpr double kDownloadShare = 0.9;
constexpr double kHideAfterFailureSeconds = 3;
constexpr int kIconSize = 64;

void log(const QString& emoji, const QString& message) { logLine(emoji, QStringLiteral("AppDelegate"), message); }

QImage appIcon()
{
    const QIcon named = QIcon::fromTheme(QStringLiteral("AppIcon"));
    const QIcon icon = named.isNull() ? QGuiApplication::windowIcon() : named;
    return icon.isNull() ? QImage() : icon.pixmap(kIconSize).toImage();
}
} // namespace

UpdateRunner::UpdateRunner(UpdateCheckService& service, NotificationManager& notifications, QObject* parent)
    : QObject(parent), service_(service), notifications_(notifications), flight_(this)
{
}

UpdateRunner::UpdateRunner() : UpdateRunner(UpdateCheckService::shared(), NotificationManager::shared()) {}

UpdateRunner& UpdateRunner::shared() { return Shared<UpdateRunner>::instance(); }

QCoro::Task<UpdateRunner::Outcome> UpdateRunner::runAtLaunch()
{
    if (std::exchange(launchRunStarted_, true)) {
        QPointer<UpdateRunner> self(this);
        // Joins the run under way, or ends at once when there is none.
        SingleFlight::Job nothing = []() -> QCoro::Task<> { co_return; };
        co_await flight_.run(std::move(nothing));
        throwIfGone(self);
        co_return lastOutcome_;
    }
    log(QStringLiteral("🔍"), QStringLiteral("Checking for updates on app launch (enforced)..."));
    co_return co_await run();
}

QCoro::Task<UpdateRunner::Outcome> UpdateRunner::run(Approval approval)
{
    // A runner that goes away (the application quitting) ends its run: the caller hears of it
    // as a stop, never through this object.
    QPointer<UpdateRunner> self(this);
    SingleFlight::Job job = [this, approval = std::move(approval)]() { return runOnce(approval); };
    co_await flight_.run(std::move(job));
    throwIfGone(self);
    co_return lastOutcome_;
}

QCoro::Task<> UpdateRunner::runOnce(Approval approval)
{
    QPointer<UpdateRunner> self(this);
    try {
        const std::optional<UpdateInfo> info = co_await service_.checkForUpdates();
        throwIfGone(self);
        if (!info) {
            lastOutcome_ = service_.lastCheckReachedFeed() ? Outcome::noUpdate : Outcome::unreachable;
        } else if (approval && !approval(*info)) {
            lastOutcome_ = Outcome::declined;
        } else {
            const Outcome outcome = co_await downloadAndInstall(*info);
            throwIfGone(self);
            lastOutcome_ = outcome;
            co_await service_.discardDownloads();
        }
    } catch (const CancelledError&) {
        // The flight's job never throws; run() tells its caller when the runner is gone.
        if (self)
            lastOutcome_ = Outcome::failed;
    }
}

QCoro::Task<UpdateRunner::Outcome> UpdateRunner::downloadAndInstall(UpdateInfo info)
{
    log(QStringLiteral("✅"), QStringLiteral("Update found on launch, starting download..."));
    // Shown over by another toast (an apply, an import), the update's waits and comes back.
    const NotificationManager::Ticket toast =
        notifications_.show(QStringLiteral("App Update"), QStringLiteral("Downloading..."), appIcon(), 0, true);
    notifications_.takeTurns(toast);
    QPointer<NotificationManager> notifications(&notifications_);
    QPointer<UpdateRunner> self(this);
    try {
        UpdateCheckService::DownloadProgress downloading = [notifications, toast](std::optional<double> fraction) {
            if (!notifications)
                return;
            // An unknown total has no bar to fill.
            notifications->setShowProgress(toast, fraction.has_value());
            if (fraction)
                notifications->updateProgress(toast, kDownloadShare * *fraction);
        };
        const QString file = co_await service_.downloadUpdate(info, std::move(downloading));
        throwIfGone(self);
        notifications_.updateMessage(toast, QStringLiteral("Installing..."));
        notifications_.setShowProgress(toast, true);
        notifications_.updateProgress(toast, kDownloadShare);
        // Reports already arrive on later turns, in order: a second hop could land after the
        // final "Update installed" and move the bar back.
        UpdateCheckService::InstallProgress installing = [notifications, toast](double fraction) {
            if (notifications)
                notifications->setProgress(toast, kDownloadShare + (1 - kDownloadShare) * fraction);
        };
        co_await service_.installUpdate(file, std::move(installing));
        throwIfGone(self);
    } catch (const CancelledError&) {
        throw;
    } catch (const std::exception& error) {
        reportFailure(error, toast);
        co_return Outcome::failed;
    }
    notifications_.updateMessage(toast, QStringLiteral("Update installed"));
    notifications_.updateProgress(toast, 1.0);
    log(QStringLiteral("✅"), QStringLiteral("Update installed successfully"));
    co_return Outcome::installed;
}

void UpdateRunner::reportFailure(const std::exception& error, NotificationManager::Ticket toast)
{
    log(QStringLiteral("❌"), QStringLiteral("Launch update failed: ") + describeError(error));
    notifications_.updateMessage(toast, QStringLiteral("Update failed"));
    notifications_.updateProgress(toast, 0);
    notifications_.hide(toast, kHideAfterFailureSeconds);
}
