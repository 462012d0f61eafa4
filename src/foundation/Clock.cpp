#include "foundation/Clock.h"

Clock& Clock::system()
{
    static SystemClock clock;
    return clock;
}
