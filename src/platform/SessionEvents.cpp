#include "platform/SessionEvents.h"

#include "foundation/Shared.h"
#include "platform/DBusSessionEvents.h"

SessionEvents& SessionEvents::shared() { return Shared<SessionEvents, DBusSessionEvents>::instance(); }
