#pragma once

#include "acquisition/nmea_reader.h"

#include <windows.h>

#include <optional>
#include <string>

// The wait for a GNSS receiver's first fix, in the progress dialog (template 130, "測位中…",
// "中断"). The port is opened on a worker; the line speed is BAUD's or found by trying the usual
// ones; the wait ends at the first fix, or with a box: no receiver answers on the port, or no fix
// came within `fixWaitSeconds`. 1 with `fix` set (and `speedFound` the speed a search found, 0
// when BAUD set it); 2 after a box or "中断", the port closed; 3 (kWaitSearchPorts) when nothing
// answered and the user asked to search the ports. With `accuracyWanted` the fix
// waits for its epoch's accuracy (CFixWait::Step). After a fix the port stays open until
// CloseFixPort: closing it takes milliseconds that the browser is waiting for, and the rest of
// the fix's epoch is still read meanwhile (ReceiverFix()).
INT_PTR ShowFixDialog(HINSTANCE instance, HWND parent, const std::wstring& port, std::optional<unsigned> baud,
                      unsigned fixWaitSeconds, NmeaFix& fix, unsigned& speedFound, bool accuracyWanted = false);
void CloseFixPort();
// The receiver's fix as read so far (the rest of its epoch comes while the port stays open).
std::optional<NmeaFix> ReceiverFix();
