#pragma once

#include <gtest/gtest.h>
#include <QTest>

// Waits, handling events, until a condition holds, and fails the test when it never does.
// Qt's QTRY_ macros report only inside QTest::qExec, so under GoogleTest they never fail.
#define EXPECT_EVENTUALLY_WITHIN(condition, milliseconds)                                                    \
    EXPECT_TRUE(QTest::qWaitFor([&] { return bool(condition); }, milliseconds)) << "never true: " #condition
#define EXPECT_EVENTUALLY(condition) EXPECT_EVENTUALLY_WITHIN(condition, 5000)
