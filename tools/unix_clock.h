#pragma once

#include <windows.h>

// The host's Unix clock in nanoseconds (Wine passes it through), so that times taken in
// different processes, Windows or Linux ones, compare.
inline long long UnixNowNs()
{
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    const unsigned long long kUnixEpoch = 116444736000000000ULL; // 1970-01-01 in 100 ns units
    return static_cast<long long>(t.QuadPart - kUnixEpoch) * 100;
}
