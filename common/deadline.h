#pragma once

#include <cstdint>

// Every wait has an end: loops that wait on a tick counter run against a deadline decided here.

// Whether a wait of `wait` ms begun at tick `start` is still running at tick `now`. The
// difference is taken unsigned, so the tick counter's wrap-around does not end it early.
bool StillWaiting(std::uint32_t start, std::uint32_t now, std::uint32_t wait);

// Milliseconds left of that wait at tick `now`, 0 once it is over: the bound to give the next
// blocking call inside the wait.
std::uint32_t RemainingWait(std::uint32_t start, std::uint32_t now, std::uint32_t wait);
