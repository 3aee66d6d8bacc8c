#pragma once

// The stand-ins the harness runs beside the program: the W-SIM simulator on COM1:
// (tests/windows/wsim_control.h) and the lookup service (tests/windows/lookup_control.h).

#include "tests/windows/lookup_control.h"
#include "tests/windows/wsim_control.h"

#include <string>

// The lookup stand-in, reached once it listens; its record starts empty.
LookupControl& Lookup();
inline size_t LookupRequestCount()
{
    return Lookup().Requests().size();
}

// Both stand-ins back to their defaults, the simulator's record of commands cleared.
void ResetStandIns();

// What the stand-ins answer by default: the simulator's one base station, its text as the
// program makes it, the stand-in's position for it, and the simulator's coordinates.
extern const wchar_t kDefaultCsId[];
extern const wchar_t kDefaultPosition[];
extern const wchar_t kDefaultSimpleCoordinates[];
