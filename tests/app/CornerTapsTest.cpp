#include "app/CornerTaps.h"

#include <gtest/gtest.h>

using glimora::app::CornerTaps;

namespace {

class CornerTapsTest : public ::testing::Test
{
protected:
    // Taps at a point, `apart` milliseconds after one another; whether the last completed it.
    bool taps(int count, qint64 apart, QPoint at = { 10, 10 })
    {
        bool done = false;
        for (int n = 0; n < count; ++n) {
            done = corner.tap(at);
            now += apart;
        }
        return done;
    }

    qint64 now = 1'000'000;
    CornerTaps corner { [this] { return now; } };
};

} // namespace

TEST_F(CornerTapsTest, FiveQuickTapsInTheCornerCallTheAdministratorOnce)
{
    EXPECT_FALSE(taps(4, 700));
    EXPECT_TRUE(taps(1, 700)); // the fifth, 2.8 s after the first
    EXPECT_FALSE(taps(4, 10)); // a new count starts
    EXPECT_TRUE(corner.tap({ 79, 0 }));
}

TEST_F(CornerTapsTest, SlowTapsTapsOutsideAndAnInterruptionDoNotCount)
{
    EXPECT_FALSE(taps(8, 760)); // never five within three seconds
    corner = CornerTaps([this] { return now; });
    EXPECT_FALSE(taps(5, 10, { 80, 10 }));
    EXPECT_FALSE(taps(5, 10, { 10, 80 }));
    EXPECT_FALSE(taps(4, 10));
    EXPECT_FALSE(corner.tap({ 400, 300 }));
    EXPECT_FALSE(taps(4, 10));
    EXPECT_TRUE(taps(1, 10));
}
