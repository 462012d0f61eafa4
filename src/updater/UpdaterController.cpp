#include "updater/UpdaterController.h"

#include "foundation/Async.h"
#include "updater/UserDriverDelegate.h"
#include "updater/UserUpdateState.h"

#include <QPointer>

UpdaterController::UpdaterController(bool startingUpdater, UserDriverDelegate* userDriverDelegate, UpdateRunner& runner,
    QObject* parent)
    : QObject(parent), userDriverDelegate_(userDriverDelegate), runner_(runner)
{
    if (startingUpdater)
        startUpdater();
}

void UpdaterController::startUpdater()
{
    launch([self = QPointer<UpdaterController>(this)]() -> QCoro::Task<> {
        if (self)
            co_await self->check(false);
    }, QStringLiteral("UpdaterController"));
}

void UpdaterController::checkForUpdates()
{
    fireAndForget([](QPointer<UpdaterController> self) -> QCoro::Task<> {
        if (self)
            co_await self->check(true);
    }(this), QStringLiteral("UpdaterController"));
}

QCoro::Task<UpdateRunner::Outcome> UpdaterController::check(bool userInitiated)
{
    QPointer<UpdaterController> self(this);
    UpdateRunner::Approval approval = [self, userInitiated](const UpdateInfo& update) {
        return self && self->approve(update, userInitiated);
    };
    co_return co_await runner_.run(std::move(approval));
}

bool UpdaterController::approve(const UpdateInfo& update, bool userInitiated) const
{
    if (!userDriverDelegate_)
        return true;
    if (!userInitiated && !userDriverDelegate_->standardUserDriverShouldHandleShowingScheduledUpdate(update, false))
        return false;
    userDriverDelegate_->standardUserDriverWillHandleShowingUpdate(true, update, UserUpdateState{userInitiated});
    // A check the user asked for shows its update in front of them at once.
    if (userInitiated)
        userDriverDelegate_->standardUserDriverDidReceiveUserAttention(update);
    return true;
}
