#include "session/LoginItemService.h"

#include "foundation/AppError.h"
#include "foundation/Log.h"
#include "foundation/Shared.h"
#include "foundation/UserDefaults.h"
#include "platform/LoginItem.h"
#include "session/NotificationCenter.h"

LoginItemService::LoginItemService(QObject* parent)
    : LoginItemService(LoginItem::shared(), UserDefaults::standard(), NotificationCenter::shared(), parent)
{
}

LoginItemService::LoginItemService(LoginItem& loginItem, UserDefaults& defaults, NotificationCenter& center, QObject* parent)
    : QObject(parent), loginItem_(loginItem), defaults_(defaults), center_(center)
{
}

LoginItemService& LoginItemService::shared() { return Shared<LoginItemService>::instance(); }

bool LoginItemService::isLoginItemOn() const
{
    const LoginItem::Status status = loginItem_.status();
    return status == LoginItem::Status::Enabled || status == LoginItem::Status::RequiresApproval
        || status == LoginItem::Status::OtherCopy;
}

void LoginItemService::setEnabled(bool enabled)
{
    // The wish is recorded whatever the system then makes of it.
    defaults_.setBool(startOnLoginKey, enabled);
    if (enabled)
        registerItem();
    else
        unregisterItem();
    center_.post(didChangeNotification, {{isEnabledKey, enabled}});
}

bool LoginItemService::repairDamagedItem()
{
    if (loginItem_.status() != LoginItem::Status::Damaged)
        return false;
    const bool wanted = defaults_.boolean(startOnLoginKey);
    logLine(QStringLiteral("⚠️"), QStringLiteral("LoginItemService"),
        wanted ? QStringLiteral("The login item was damaged; writing it again (start at login is on)")
               : QStringLiteral("The login item was damaged; removing it (start at login is off)"));
    if (wanted)
        registerItem();
    else
        unregisterItem();
    return true;
}

void LoginItemService::followThisCopy()
{
    if (loginItem_.status() != LoginItem::Status::OtherCopy)
        return;
    logLine(QStringLiteral("ℹ️"), QStringLiteral("LoginItemService"),
        QStringLiteral("The login item started another copy of the program; pointing it at this one"));
    registerItem();
}

void LoginItemService::registerItem()
{
    if (loginItem_.status() == LoginItem::Status::Enabled) {
        logLine(QStringLiteral("App already registered as login item"));
        return;
    }
    try {
        loginItem_.registerItem();
    } catch (const std::exception& error) {
        logLine(QStringLiteral("Failed to register as login item: ") + describeError(error));
        return;
    }
    logLine(QStringLiteral("Start on login enabled using SMAppService"));
    if (loginItem_.status() == LoginItem::Status::RequiresApproval) {
        loginItem_.openSettings();
        logLine(QStringLiteral("Login item requires approval - opening System Settings"));
    }
}

void LoginItemService::unregisterItem()
{
    try {
        loginItem_.unregisterItem();
    } catch (const std::exception& error) {
        logLine(QStringLiteral("Failed to unregister login item: ") + describeError(error));
        return;
    }
    logLine(QStringLiteral("Start on login disabled using SMAppService"));
}
