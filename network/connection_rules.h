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
