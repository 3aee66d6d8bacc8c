#include "network/connection_rules.h"

#include <gtest/gtest.h>

namespace {

using Action = WorkerDecision::Action;

struct StatusCase
{
    uint32_t status;
    uint32_t retries;
    uint32_t limit;
    Action action;
    const wchar_t* message;
    long cache;
};

TEST(WorkerStatus, EachStatusLeadsToItsStepMessageAndCache)
{
    const StatusCase cases[] = {
        {0x10, 0, 0, Action::Connected, L"CONNMGR_STATUS_CONNECTED", 1},
        {0x20, 0, 0, Action::End, L"CONNMGR_STATUS_DISCONNECTED", 1},
        {0x21, 0, 0, Action::End, L"CONNMGR_STATUS_CONNECTIONFAILED", 0},
        {0x21, 2, 3, Action::Retry, L"", 0},
        {0x21, 3, 3, Action::End, L"CONNMGR_STATUS_CONNECTIONFAILED", 0},
        {0x22, 0, 5, Action::End, L"CONNMGR_STATUS_CONNECTIONCANCELED", 0},
        // Reachable-but-disabled ends a real request like any other final state.
        {0x23, 0, 0, Action::End, L"ConnMgrConnectionStatus() Status = 35", 0},
        {0x24, 0, 0, Action::End, L"ConnMgrConnectionStatus() Status = 36", 0},
        // Bit 0x20 wins over the waiting bit.
        {0x60, 0, 0, Action::End, L"ConnMgrConnectionStatus() Status = 96", 0},
        {0x40, 0, 0, Action::Wait, L"CONNMGR_STATUS_WAITINGCONNECTION", 1},
        {0x47, 0, 0, Action::Wait, L"CONNMGR_STATUS_WAITINGCONNECTION", 1},
        {0x00, 0, 0, Action::Wait, L"ConnMgrConnectionStatus() Status = 0", 1},
        {0x11, 0, 0, Action::Wait, L"ConnMgrConnectionStatus() Status = 17", 1},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.status);
        WorkerDecision d = DecideWorkerStatus(c.status, c.retries, c.limit);
        EXPECT_EQ(d.action, c.action);
        EXPECT_EQ(d.message, c.message);
        if (d.action == Action::End) {
            EXPECT_EQ(d.cache, c.cache);
        }
    }
}

TEST(ConnectingDialog, StartHangUpAndWorkerMessagesLeadToTheirAction)
{
    using D = DialogAction;
    struct Case
    {
        bool disconnect;
        bool exists;
        int verdict;
        D action;
    };
    const Case cases[] = {
        {false, true, 0, D::EndDone},  {false, false, -1, D::ReportCheckFailure},
        {false, false, 0, D::Connect}, {false, false, 1, D::EndDone},
        {true, true, 0, D::HangUp},    {true, false, -1, D::ReportCheckFailure},
        {true, false, 0, D::EndDone},  {true, false, 1, D::HangUp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.disconnect << c.exists << c.verdict);
        EXPECT_EQ(DecideDialogStart(c.disconnect, c.exists, c.verdict), c.action);
    }
    // A line still up after the hang-ups is said, never taken for cut.
    EXPECT_EQ(DecideAfterHangUp(true), D::EndDone);
    EXPECT_EQ(DecideAfterHangUp(false), D::ReportLineStillUp);
    EXPECT_EQ(DecideOnWorkerMessage(false, true), D::EndDone);
    EXPECT_EQ(DecideOnWorkerMessage(false, false), D::EndFailed);
    EXPECT_EQ(DecideOnWorkerMessage(true, false), D::EndDone);
}

TEST(HangUpWait, EndsWhenGoneOnFailureAndAtTheDeadline)
{
    const uint32_t start = 0xFFFFF000u; // the tick counter wraps during the wait
    EXPECT_TRUE(KeepWaitingForHangUp(0, start, start + 10));
    EXPECT_TRUE(KeepWaitingForHangUp(0, start, start + kHangUpWaitMs - 1));
    EXPECT_FALSE(KeepWaitingForHangUp(0, start, start + kHangUpWaitMs));
    EXPECT_FALSE(KeepWaitingForHangUp(6, start, start + 10));   // gone
    EXPECT_FALSE(KeepWaitingForHangUp(632, start, start + 10)); // cannot be watched

    EXPECT_TRUE(HangUpCompleted(6, true));    // gone from the list
    EXPECT_TRUE(HangUpCompleted(0, false));   // still listed, but no longer connected
    EXPECT_FALSE(HangUpCompleted(0, true));   // the wait ran out on a connected line
    EXPECT_FALSE(HangUpCompleted(632, true)); // unreadable: not known to be cut
}

} // namespace
