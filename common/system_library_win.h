#pragma once

#include "common/system_library.h"

#include <windows.h>

// Loads every library of `libraries` (SystemLibrary flags) that is not loaded yet. When
// one cannot be loaded, shows the reason in an "Error" box owned by `owner` and gives
// false: the command that needs it then does nothing.
bool RequireSystemLibraries(unsigned libraries, HWND owner);

// Starts loading `libraries` on a worker of the process's pool, so that a command about to wait
// (for the W-SIM's answer) finds them loaded when it gets to use them. Failures are left
// to RequireSystemLibraries.
void PreloadSystemLibraries(unsigned libraries);
