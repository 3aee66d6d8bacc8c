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

// How the serial port reads, free of the comm API. The reader's read waits for the line's first
// byte without a limit and comes back once the line has paused kReadGapMs after it (the read
// time-outs of the port: this gap, no total), so an answer wakes the reader when it arrives,
// not at a poll. A port that cannot read that way is polled every kReadPollMs.
constexpr std::uint32_t kReadGapMs = 1;
constexpr std::uint32_t kReadPollMs = 10;

// What the reader does once its read came back.
enum class ReadStep
{
    Deliver, // bytes came: hand them on
    Again,   // nothing, for a reason that passes (a purge at a new speed, the driver's own time-out)
    Pause,   // nothing, and the read did not wait: look again after a poll period, not at once
    Poll,    // the driver refuses a waiting read: poll the port from now on
    Fail,    // the line failed: the reader ends
};
// `succeeded`: the read and its result succeeded, else `error` is the platform's error number;
// `count`: the bytes it read; `waited`: it was pending before it came back.
ReadStep NextReadStep(bool succeeded, std::uint32_t error, std::uint32_t count, bool waited);
