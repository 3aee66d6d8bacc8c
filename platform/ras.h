#pragma once

// The handheld's dial-up (RAS) interface, with its names and records. Kept in namespace ce
// so it never meets the desktop's own ras.h; the device simulation answers these calls.

#include <windows.h>

// Same value as the desktop's raserror.h.
#ifndef ERROR_BUFFER_TOO_SMALL
#define ERROR_BUFFER_TOO_SMALL 603
#endif

namespace ce {

constexpr int RAS_MaxEntryName = 20;
constexpr int RAS_MaxDeviceType = 16;
constexpr int RAS_MaxDeviceName = 128;

constexpr DWORD RASCS_Connected = 0x2000;
constexpr DWORD RASCS_Disconnected = 0x2001;

DECLARE_HANDLE(HRASCONN);

// 52 bytes on the handheld; the handle is pointer-sized on a 64-bit desktop, so callers use sizeof.
struct RASCONN
{
    DWORD dwSize;
    HRASCONN hrasconn;
    WCHAR szEntryName[RAS_MaxEntryName + 1];
};
static_assert(sizeof(void*) != 4 || sizeof(RASCONN) == 52, "connection record layout");

struct RASCONNSTATUS
{
    DWORD dwSize;
    DWORD rasconnstate;
    DWORD dwError;
    WCHAR szDeviceType[RAS_MaxDeviceType + 1];
    WCHAR szDeviceName[RAS_MaxDeviceName + 1];
};
static_assert(sizeof(RASCONNSTATUS) == 304, "status record layout");

// ERROR_BUFFER_TOO_SMALL (603) with *lpcb set to the size needed when the buffer is too small.
DWORD RasEnumConnections(RASCONN* lprasconn, DWORD* lpcb, DWORD* lpcConnections);
// ERROR_INVALID_HANDLE (6) once a connection is gone.
DWORD RasGetConnectStatus(HRASCONN hrasconn, RASCONNSTATUS* lprasconnstatus);
DWORD RasHangUp(HRASCONN hrasconn);

} // namespace ce
