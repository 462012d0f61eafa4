#include "menubar/MenuPipelineRun.h"

#include "engine/HomeScreenWallpaperEngine.h"
#include "engine/WallpaperApplyService.h"
#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "menubar/MenuBarManager.h"
#include "platform/DesktopNotifications.h"
#include "state/NotificationManager.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

MenuPipelineRun::MenuPipelineRun(QPointer<MenuBarManager> manager, QPointer<NotificationManager> toast, quint64 ticket,
                                 DesktopClaim claim, std::shared_ptr<quint64> shownToast)
    : manager_(std::move(manager)), toast_(std::move(toast)), ticket_(ticket), claim_(std::move(claim)),
      shownToast_(std::move(shownToast))
{
}

bool MenuPipelineRun::isOvertaken() const { return !manager_ || !manager_->isLatestRun(ticket_); }

bool MenuPipelineRun::isOvertakenEverywhere() const { return !manager_ || !HomeScreenWallpaperEngine::shared().holdsAny(claim_); }

bool MenuPipelineRun::ownsEveryDisplay() const { return manager_ && HomeScreenWallpaperEngine::shared().holdsAll(claim_); }

bool MenuPipelineRun::isReplaced() const { return isOvertaken() || isOvertakenEverywhere(); }

void MenuPipelineRun::reportFailure(const QString& summary, const std::exception& error) const
{
    // The in-app toast shows only inside the main window: without one on screen, the desktop
    // tells the user. A run that a newer choice replaced tells nothing over it.
    if (isReplaced())
        return;
    const TrayWindowControl& windows = manager_->windowControl();
    if (windows.showsMainWindow && windows.showsMainWindow())
        return;
    DesktopNotifications::shared().notify(summary, describeError(error));
}

std::optional<QString> MenuPipelineRun::tellLimits() const
{
    if (isOvertaken())
        return std::nullopt;
    HomeScreenWallpaperEngine& engine = HomeScreenWallpaperEngine::shared();
    if (ownsEveryDisplay() && engine.takeStillPictureNotice()) {
        logLine(QStringLiteral("ℹ️"), QStringLiteral("MenuBarManager"), WallpaperApplyService::stillPictureNotice());
        updateMessage(WallpaperApplyService::stillPictureNotice());
        return WallpaperApplyService::stillPictureNotice();
    }
    const std::optional<QString> covered = engine.coveredNotice();
    if (!covered)
        return std::nullopt;
    logLine(QStringLiteral("⚠️"), QStringLiteral("MenuBarManager"), *covered);
    updateMessage(*covered);
    return covered;
}

void MenuPipelineRun::logOvertaken(qint64 key) const
{
    // Replaced by a choice made elsewhere, the run tells no end: its toast, shown over by that
    // choice's, stays away, and one still on the panel (a removal shows no toast) goes now. A
    // newer run's toast is that run's.
    if (!isOvertaken() && toast_ && *shownToast_ != 0) {
        toast_->leaveTurns(*shownToast_);
        hideToast(0);
    }
    logLine(QStringLiteral("ℹ️"), QStringLiteral("MenuBarManager"),
        QStringLiteral("Wallpaper ") + QString::number(key) + QStringLiteral(" not applied - a newer choice replaced it"));
}

NotificationManager* MenuPipelineRun::liveToast() const
{
    if (isReplaced() || !toast_ || *shownToast_ == 0 || !(toast_->isShowing(*shownToast_) || toast_->isWaiting(*shownToast_)))
        return nullptr;
    return toast_.data();
}

void MenuPipelineRun::openToast(const QString& message, double progress) const
{
    NotificationManager* toast = isReplaced() ? nullptr : toast_.data();
    if (!toast)
        return;
    // An earlier run's toast, shown over meanwhile, is not to come back: this run's replaces it.
    if (*shownToast_ != 0)
        toast->leaveTurns(*shownToast_);
    toast->setTitle(QString());
    toast->setMessage(message);
    toast->setThumbnailImage(QImage());
    toast->setProgress(progress);
    toast->setShowProgress(true);
    // show() presents on a later turn by itself; called now, later hides belong to this toast.
    *shownToast_ = toast->show();
    // A long download may be shown over: its end still gets on screen.
    toast->takeTurns(*shownToast_);
}

void MenuPipelineRun::updateMessage(const QString& message) const
{
    if (NotificationManager* toast = liveToast())
        toast->updateMessage(*shownToast_, message);
}

void MenuPipelineRun::updateProgress(double progress) const
{
    if (NotificationManager* toast = liveToast())
        toast->updateProgress(*shownToast_, progress);
}

void MenuPipelineRun::hideToast(double seconds) const
{
    if (NotificationManager* toast = liveToast())
        toast->hide(*shownToast_, seconds);
}

QString MenuPipelineRun::errorDetails(const std::exception& error)
{
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(typeid(error).name(), nullptr, nullptr, &status), &std::free);
    const QString type = status == 0 && name ? QString::fromLatin1(name.get()) : QString::fromLatin1(typeid(error).name());
    return type + QStringLiteral("(\"") + describeError(error) + QStringLiteral("\")");
}
