#include "session/DiskFailureNotice.h"

#include "foundation/UserDefaults.h"
#include "platform/DesktopNotifications.h"
#include "state/NotificationManager.h"

DiskFailureNotice::DiskFailureNotice(NotificationManager& toast, DesktopNotifications& desktop,
    std::function<bool()> windowShown, QObject* parent)
    : QObject(parent), toast_(toast), desktop_(desktop), windowShown_(std::move(windowShown))
{
}

void DiskFailureNotice::watch(UserDefaults& defaults)
{
    const auto told = [this](const QString& reason) {
        tell(tr("Settings Not Saved"),
            tr("%1. Your changes are kept and saved as soon as the disk can be written again.").arg(reason));
    };
    connect(&defaults, &UserDefaults::saveFailed, this, [told](const QString&, const QString& reason) { told(reason); });
    // A change refused before anyone watched (during the launch) is told now: the store
    // announces a reason only once.
    if (!defaults.unsavedReason().isEmpty())
        told(defaults.unsavedReason());
}

void DiskFailureNotice::tell(const QString& title, const QString& reason)
{
    const QString cause = title + QLatin1Char('\n') + reason;
    if (told_.contains(cause))
        return;
    told_.insert(cause);
    if (windowShown_ && windowShown_()) {
        toast_.show(title, reason, {}, 0, false);
        toast_.hide(kToastSeconds);
    } else {
        desktop_.notify(title, reason);
    }
}
