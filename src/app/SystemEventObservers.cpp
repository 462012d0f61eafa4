#include "app/SystemEventObservers.h"

#include "engine/LockScreenService.h"
#include "engine/WallpaperAerialsExtensionService.h"
#include "foundation/AppError.h"
#include "foundation/Async.h"
#include "foundation/Log.h"
#include "platform/SessionEvents.h"

namespace {
const QString kType = QStringLiteral("AppDelegate");
}

SystemEventObservers::SystemEventObservers(SessionEvents& events, QObject* parent) : QObject(parent), events_(events) {}

void SystemEventObservers::registerSystemObservers()
{
    if (!connections_.isEmpty())
        return;
    connections_ = {
        connect(&events_, &SessionEvents::unlocked, this, &SystemEventObservers::handleSystemUnlock),
        connect(&events_, &SessionEvents::locked, this, &SystemEventObservers::handleSystemLock),
        connect(&events_, &SessionEvents::screensWoke, this, &SystemEventObservers::handleSystemUnlock),
    };
}

void SystemEventObservers::removeSystemObservers()
{
    for (const QMetaObject::Connection& connection : std::as_const(connections_))
        disconnect(connection);
    connections_.clear();
}

void SystemEventObservers::handleSystemLock() {}

void SystemEventObservers::handleSystemUnlock()
{
    logLine(QStringLiteral("🔓"), kType, QStringLiteral("========== SYSTEM UNLOCK EVENT =========="));
    if (!LockScreenService::shared().isEnabled())
        return;
    fireAndForget(restartExtensionAfterUnlock(), kType);
}

QCoro::Task<> SystemEventObservers::restartExtensionAfterUnlock()
{
    try {
        co_await WallpaperAerialsExtensionService::shared().restartExtension();
    } catch (const std::exception& error) {
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Failed to restart extension after unlock"));
        logLine(QStringLiteral("⚠️"), kType, QStringLiteral("Error: ") + describeError(error));
        co_return;
    }
    logLine(QStringLiteral("✅"), kType, QStringLiteral("WallpaperAerialsExtension restarted successfully after unlock"));
}
