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

// What a read came back with, as drivers give it: Windows' serial driver, Wine's on a
// pseudo-terminal and on a UART, a USB adapter pulled out.
TEST(SerialRules, EveryReadOutcomeHasItsStep)
{
    struct Row
    {
        const char* what;
        bool succeeded;
        std::uint32_t error;
        std::uint32_t count;
        bool waited;
        ReadStep step;
    };
    const Row rows[] = {
        {"an answer's bytes after the line paused", true, 0, 44, true, ReadStep::Deliver},
        {"bytes already queued when the read began", true, 0, 7, false, ReadStep::Deliver},
        {"bytes under Wine's ERROR_TIMEOUT", false, 1460, 3, true, ReadStep::Deliver},
        {"bytes and then the line hung up", false, 109, 12, true, ReadStep::Deliver},
        {"a purge at a new speed aborted the read", false, 995, 0, true, ReadStep::Again},
        {"a total time-out ran out, Wine's way", false, 1460, 0, true, ReadStep::Again},
        {"a total time-out ran out, Windows' way", true, 0, 0, true, ReadStep::Again},
        {"read time-outs that return at once (MAXDWORD, 0, 0)", true, 0, 0, false, ReadStep::Pause},
        {"a driver that aborts every read at once", false, 995, 0, false, ReadStep::Pause},
        {"no overlapped read: ERROR_INVALID_PARAMETER", false, 87, 0, false, ReadStep::Poll},
        {"no overlapped read: ERROR_INVALID_FUNCTION", false, 1, 0, false, ReadStep::Poll},
        {"no overlapped read: ERROR_NOT_SUPPORTED", false, 50, 0, false, ReadStep::Poll},
        {"ERROR_INVALID_PARAMETER after waiting", false, 87, 0, true, ReadStep::Fail},
        {"the pseudo-terminal hung up (ERROR_BROKEN_PIPE)", false, 109, 0, true, ReadStep::Fail},
        {"the device is gone (ERROR_NOT_READY)", false, 21, 0, false, ReadStep::Fail},
        {"a USB adapter pulled out (ERROR_ACCESS_DENIED)", false, 5, 0, true, ReadStep::Fail},
        {"ERROR_ACCESS_DENIED at once", false, 5, 0, false, ReadStep::Fail},
        {"ERROR_GEN_FAILURE", false, 31, 0, true, ReadStep::Fail},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.step, NextReadStep(row.succeeded, row.error, row.count, row.waited));
    }
}
