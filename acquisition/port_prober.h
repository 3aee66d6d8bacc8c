#pragma once

#include "acquisition/port_search.h"

#include <windows.h>

#include <string>

// One port of the port search, tried on the caller's thread (a worker of the search): opened
// once, without flow control (a device wired with three wires answers too), taken through
// CPortProbe's steps and closed again. `stop`, a manual-reset event, ends it within one poll of
// the port (kProbePollMs); the finding is then Stopped. Shows nothing.
PortFinding ProbePort(const std::wstring& port, HANDLE stop);

// How often a read looks at the port and at `stop`.
constexpr DWORD kProbePollMs = 10;
