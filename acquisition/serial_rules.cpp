#include "acquisition/serial_rules.h"

#include "common/deadline.h"

#include <limits>

std::uint32_t WriteTimeoutMs(std::uint32_t count)
{
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    if (count > (kMax - kWriteTimeoutConstantMs) / kWriteTimeoutPerByteMs) {
        return kMax;
    }
    return kWriteTimeoutConstantMs + count * kWriteTimeoutPerByteMs;
}

DrainStep NextDrainStep(std::uint32_t queued, std::uint32_t count, std::uint32_t start, std::uint32_t now)
{
    if (queued == 0) {
        return DrainStep::Write;
    }
    return StillWaiting(start, now, WriteTimeoutMs(count)) ? DrainStep::Poll : DrainStep::Fail;
}

bool IsWholeWrite(bool succeeded, std::uint32_t count, std::uint32_t written)
{
    return succeeded && written == count;
}

namespace {

// The platform's error numbers a read comes back with.
constexpr std::uint32_t kErrorInvalidFunction = 1;
constexpr std::uint32_t kErrorNotSupported = 50;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorOperationAborted = 995;
constexpr std::uint32_t kErrorTimeout = 1460;

} // namespace

ReadStep NextReadStep(bool succeeded, std::uint32_t error, std::uint32_t count, bool waited)
{
    // Bytes a read carries are handed on whatever it says about itself: a driver that reports
    // its time-out as an error has still read them.
    if (count > 0) {
        return ReadStep::Deliver;
    }
    if (succeeded || error == kErrorOperationAborted || error == kErrorTimeout) {
        // A read that came back at once with nothing would otherwise spin.
        return waited ? ReadStep::Again : ReadStep::Pause;
    }
    if (!waited && (error == kErrorInvalidFunction || error == kErrorNotSupported || error == kErrorInvalidParameter)) {
        return ReadStep::Poll;
    }
    return ReadStep::Fail;
}
