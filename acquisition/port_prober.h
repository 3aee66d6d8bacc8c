#pragma once

#include "acquisition/port_search.h"

#include <windows.h>

#include <string>

// One port of the port search, tried on the caller's thread (a worker of the search): opened
// once, without flow control (a device wired with three wires answers too), taken through
// CPortProbe's steps and closed again. Its reads are woken by the line (CSerialReader) and by
// `stop`, a manual-reset event, which ends it at once; the finding is then Stopped. Shows
// nothing.
PortFinding ProbePort(const std::wstring& port, HANDLE stop);
