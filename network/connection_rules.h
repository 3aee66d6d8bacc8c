#pragma once

#include <cstdint>
#include <string>

// Connection Manager status values the program reads.
enum : uint32_t
{
    kStatusConnected = 0x10,
    kStatusDisconnected = 0x20,
    kStatusConnectionFailed = 0x21,
    kStatusConnectionCanceled = 0x22,
    kStatusConnectionDisabled = 0x23,
    kStatusFinalBit = 0x20,
    kStatusWaitingBit = 0x40,
};

// What the connect worker does after reading a status.
struct WorkerDecision
{
    enum class Action
    {
        Retry,     // ask again after the retry pause
        End,       // final status: release with `cache` and end
        Connected, // post the connected message and keep waiting
        Wait,      // keep waiting
    };
    Action action;
    std::wstring message; // the last message to record; empty for Retry
    long cache;           // release cache value when ending
};

WorkerDecision DecideWorkerStatus(uint32_t status, uint32_t retryCount, uint32_t retryLimit);

// Whether the answer to the "could it be reached" request means yes (connected, or
// reachable but not connected).
inline bool IsUsableTestStatus(uint32_t status)
{
    return status == kStatusConnected || status == kStatusConnectionDisabled;
}

// -1 when the availability check failed, 1 when the network is usable, else 0.
int AvailabilityVerdict(int32_t checkResult, uint32_t status);

// Record counts of the growing dial-up list: 10, 20, ... 100. After `records` proved too
// small, the next count, or 0 when the list may not grow any more.
uint32_t NextDialupCapacity(uint32_t records);
constexpr uint32_t kFirstDialupCapacity = 10;
constexpr uint32_t kMaxDialupCapacity = 100;

// All the hang-ups of one disconnect share one wait of this length: a dial-up connection that
// is never gone must not freeze the caller.
constexpr uint32_t kHangUpWaitMs = 3000;

// Whether the wait for a hung-up dial-up connection goes on after its status query answered
// `answer` (0: still there) at tick `now`, the disconnect having begun at tick `start`.
bool KeepWaitingForHangUp(uint32_t answer, uint32_t start, uint32_t now);
// Whether a hung-up dial-up connection is gone once that wait ended with `answer`, its last
// status read having said connected (`lastSeenConnected`) or not. A line that may still be up
// is never taken for cut.
bool HangUpCompleted(uint32_t answer, bool lastSeenConnected);

// What the connecting dialog does next.
enum class DialogAction
{
    EndDone,              // end with 1
    EndFailed,            // end with 2
    ReportCheckFailure,   // show why the availability check failed, then end with 2
    Connect,              // start the connect worker
    HangUp,               // stop the worker and hang up the dial-up connections
    AwaitEnd,             // stay open until the connect worker's message arrives
    ReportLineStillUp,    // say that the line could not be cut, then end with 2
    ReportConnectFailure, // the connect worker could not be started: say so, end with 2
    ReportBusy,           // earlier work on the connection never ended: say so, end with 2
};

// Whoever works on the connection (a check, a dialog's start) waits this long at most for work
// before it: a platform call that never returns holds nobody but its own worker.
constexpr uint32_t kConnectionWorkWaitMs = 2000;
// The box of a check or a dialog that could not get at the connection in that time.
std::wstring ConnectionBusyText();

// At the start: whether a dial-up connection exists and, only when none does, the
// availability verdict (-1 failed, 0 not usable, 1 usable).
DialogAction DecideDialogStart(bool disconnectMode, bool dialupExists, int verdict);
// After the hang-ups: done when every line that was up is gone, else the user is told.
DialogAction DecideAfterHangUp(bool linesGone);
// On the connect worker's connected message (`connected`) or its end message.
DialogAction DecideOnWorkerMessage(bool disconnectMode, bool connected);
