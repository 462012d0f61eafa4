#include "updater/UpdaterController.h"

#include "foundation/Async.h"
#include "foundation/CancelledError.h"
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
    launch([self = QPointer<UpdaterController>(this)] { return checkQuietly(self, false); }, QStringLiteral("UpdaterController"));
}

void UpdaterController::checkForUpdates()
{
    fireAndForget(checkQuietly(this, true), QStringLiteral("UpdaterController"));
}

QCoro::Task<> UpdaterController::checkQuietly(QPointer<UpdaterController> self, bool userInitiated)
{
    if (!self)
        co_return;
    try {
        co_await self->check(userInitiated);
    } catch (const CancelledError&) {
        // The runner went away with the application: nothing is left to tell.
    }
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
