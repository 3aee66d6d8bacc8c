#include "common/deadline.h"

#include <gtest/gtest.h>

TEST(Deadline, SurvivesTheTickCounterWrapping)
{
    EXPECT_TRUE(StillWaiting(100, 100, 1));
    EXPECT_FALSE(StillWaiting(100, 101, 1));
    EXPECT_FALSE(StillWaiting(100, 200, 0));
    const std::uint32_t nearEnd = 0xFFFFFF00u;
    EXPECT_TRUE(StillWaiting(nearEnd, 0x00000010u, 0x200));    // wrapped, 0x110 ms in
    EXPECT_TRUE(StillWaiting(nearEnd, nearEnd + 0x10, 0x200)); // not yet wrapped, the deadline after the wrap
    EXPECT_FALSE(StillWaiting(nearEnd, 0x00000100u, 0x200));

    EXPECT_EQ(RemainingWait(nearEnd, 0x00000010u, 0x200), 0xF0u);
    EXPECT_EQ(RemainingWait(nearEnd, 0x00000100u, 0x200), 0u);
    EXPECT_EQ(RemainingWait(100, 50, 1000), 0u); // a tick before the start is taken as long past
}
