#include "platform/DesktopNotifications.h"

#include "foundation/Shared.h"
#include "platform/DBusDesktopNotifications.h"

DesktopNotifications& DesktopNotifications::shared()
{
    return Shared<DesktopNotifications, DBusDesktopNotifications>::instance();
}
