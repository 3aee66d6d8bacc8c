#include "common/deadline.h"

bool StillWaiting(std::uint32_t start, std::uint32_t now, std::uint32_t wait)
{
    return static_cast<std::uint32_t>(now - start) < wait;
}

std::uint32_t RemainingWait(std::uint32_t start, std::uint32_t now, std::uint32_t wait)
{
    std::uint32_t elapsed = now - start;
    return elapsed < wait ? wait - elapsed : 0;
}
