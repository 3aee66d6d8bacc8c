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
