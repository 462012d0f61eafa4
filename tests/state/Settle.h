#pragma once

#include <QTest>

// Turns the event loop for a moment, so that coroutines a test ended (stopped sleeps, dropped
// requests) resume and finish before the objects they belong to go away.
inline void settle()
{
    QTest::qWait(20);
}
