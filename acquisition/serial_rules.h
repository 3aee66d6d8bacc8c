#pragma once

#include <cstdint>

// How the serial port writes, free of the comm API: the device's write time-out, and the
// bound it puts on the wait for the output queue to drain, so that a module holding CTS low
// cannot hold the user interface.

// The device's write time-out: a constant plus so much per byte.
constexpr std::uint32_t kWriteTimeoutConstantMs = 1000;
constexpr std::uint32_t kWriteTimeoutPerByteMs = 10;

// The write time-out of `count` bytes, saturating instead of wrapping.
std::uint32_t WriteTimeoutMs(std::uint32_t count);

// What the port does after one look at the output queue while it waits to write `count`
// bytes, having begun waiting at tick `start`.
enum class DrainStep
{
    Write, // the queue is empty
    Poll,  // bytes still queued: look again after a pause
    Fail,  // still queued after the write time-out: the write fails
};
DrainStep NextDrainStep(std::uint32_t queued, std::uint32_t count, std::uint32_t start, std::uint32_t now);

// Whether a write went out: the call succeeded and wrote every byte (a write cut short by
// the time-out reports success with fewer bytes).
bool IsWholeWrite(bool succeeded, std::uint32_t count, std::uint32_t written);
