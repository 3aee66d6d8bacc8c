#pragma once

#include "acquisition/nmea_reader.h"
#include "acquisition/receiver_address.h"

#include <windows.h>

#include <optional>
#include <string>

// The wait for a GNSS receiver's first fix, in the progress dialog (template 130, "測位中…",
// "中断"), at `address`: a serial port or a receiver on the network (ParseReceiverAddress). A
// serial port is opened on a worker, at BAUD's line speed or one found by trying the usual ones;
// a connection is made on the transport's own thread, and nothing is ever sent but gpsd's watch
// command. The wait ends at the first fix, or with a box naming the place: no receiver answers on
// the port, the connection failed or the peer stopped (NetworkFailureText, NetworkWaitText), or
// no fix came within `fixWaitSeconds`. 1 with `fix` set (and `speedFound` the speed a search
// found, 0 when BAUD set it or on the network); 2 after a box or "中断", the port closed; 3
// (kWaitSearchPorts) when nothing answered on a serial port and the user asked to search the
// ports. With `accuracyWanted` the fix waits for its epoch's accuracy (FixGoesOn). After a fix
// the port stays open until CloseFixPort (gpsd, whose fix is whole, is let go at once): closing
// it takes milliseconds that the browser is waiting for, and the rest of the fix's epoch is still
// read meanwhile (ReceiverFix()).
INT_PTR ShowFixDialog(HINSTANCE instance, HWND parent, const ReceiverAddress& address, std::optional<unsigned> baud,
                      unsigned fixWaitSeconds, NmeaFix& fix, unsigned& speedFound, bool accuracyWanted = false);
void CloseFixPort();
// The receiver's fix as read so far (the rest of its epoch comes while the port stays open).
std::optional<NmeaFix> ReceiverFix();
