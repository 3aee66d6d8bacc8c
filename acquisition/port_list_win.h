#pragma once

#include "acquisition/port_list.h"

#include <vector>

// The serial ports this machine names, from each of its lists in turn: the serial device map
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM), the device manager's ports class with each device's
// friendly name (SetupAPI, loaded from the system folder when it is there), and the DOS device
// names (QueryDosDevice). A list that cannot be read adds nothing. It may take a while (the
// device manager): call it beside the window. MergePorts makes the rows of it.
std::vector<FoundPort> FindSerialPorts();
