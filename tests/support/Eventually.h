#pragma once

#include <QTest>

#include <gtest/gtest.h>

// Turns the event loop until `condition` holds. When `timeoutMs` pass first the test fails and
// returns, naming what it waited for; more detail can be streamed after it with <<.
// (Qt's QTRY_* macros only return on a timeout, which GoogleTest counts as a pass.)
#define ASSERT_EVENTUALLY(condition, timeoutMs)                                                     \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, (timeoutMs)))       \
        << "waited " << (timeoutMs) << " ms for: " #condition " "

// How long a display server (Xvfb, sway) may take to show a window: beside a loaded machine's
// other tests it took longer than QTest's own 5 s.
constexpr int kExposeMs = 30'000;
