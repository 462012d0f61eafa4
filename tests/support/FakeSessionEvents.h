#pragma once

#include "platform/SessionEvents.h"

// Session events a test sends by hand. Install with Shared<SessionEvents>::Override.
class FakeSessionEvents : public SessionEvents {
    Q_OBJECT
public:
    using SessionEvents::SessionEvents;

    void lock() { Q_EMIT locked(); }
    void unlock() { Q_EMIT unlocked(); }
    void sleep() { Q_EMIT willSleep(); }
    void wake() { Q_EMIT screensWoke(); }
};
