#pragma once

// The stand-ins the harness runs beside the program: the W-SIM simulator on COM1:
// (tests/windows/wsim_control.h) and the lookup service, told what to do through their
// state folders.

#include "tests/windows/wsim_control.h"

#include <string>

// Replaces the lookup stand-in's config.json (keys: mode, table, status, ...).
bool LookupConfigure(const std::string& json);
// Lookups the stand-in has been asked for since the start of the harness.
size_t LookupRequestCount();

// Both stand-ins back to their defaults, their logs of commands cleared.
void ResetStandIns();

// What the stand-ins answer by default: the simulator's one base station, its text as the
// program makes it, the stand-in's position for it, and the simulator's coordinates.
extern const wchar_t kDefaultCsId[];
extern const wchar_t kDefaultPosition[];
extern const wchar_t kDefaultSimpleCoordinates[];
