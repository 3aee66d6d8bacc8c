#include "acquisition/serial_rules.h"

#include <gtest/gtest.h>

TEST(SerialRules, OutputQueueWaitEndsWithTheWriteTimeout)
{
    EXPECT_EQ(1090u, WriteTimeoutMs(9));                // "AT@LBC1\r\n"
    EXPECT_EQ(0xFFFFFFFFu, WriteTimeoutMs(429496630u)); // would wrap to a short wait
    EXPECT_EQ(DrainStep::Write, NextDrainStep(0, 9, 500, 500 + 5000));
    EXPECT_EQ(DrainStep::Poll, NextDrainStep(3, 9, 500, 500 + 1089));
    EXPECT_EQ(DrainStep::Fail, NextDrainStep(3, 9, 500, 500 + 1090));
    EXPECT_EQ(DrainStep::Poll, NextDrainStep(1, 9, 0xFFFFFF00u, 0x100u)); // across the wrap
    EXPECT_FALSE(IsWholeWrite(true, 9, 4));                               // cut short by the time-out
    EXPECT_TRUE(IsWholeWrite(true, 9, 9));
}
