#pragma once

// The handheld's Connection Manager interface, with its names and records. On the desktop
// the device simulation answers these calls.

#include <windows.h>

#define CONNMGR_MAX_DESC 128

#define CONNMGR_PARAM_GUIDDESTNET 0x1
#define CONNMGR_PARAM_MAXCOST 0x2
#define CONNMGR_PARAM_MINRCVBW 0x4
#define CONNMGR_PARAM_MAXCONNLATENCY 0x8

#define CONNMGR_FLAG_PROXY_HTTP 0x1

#define CONNMGR_PRIORITY_USERINTERACTIVE 0x8000

#define CONNMGR_STATUS_UNKNOWN 0x00
#define CONNMGR_STATUS_CONNECTED 0x10
#define CONNMGR_STATUS_DISCONNECTED 0x20
#define CONNMGR_STATUS_CONNECTIONFAILED 0x21
#define CONNMGR_STATUS_CONNECTIONCANCELED 0x22
#define CONNMGR_STATUS_CONNECTIONDISABLED 0x23
#define CONNMGR_STATUS_WAITINGCONNECTION 0x40

struct CONNMGR_DESTINATION_INFO
{
    GUID guid;
    WCHAR szDescription[CONNMGR_MAX_DESC];
    BOOL fSecure;
};
static_assert(sizeof(CONNMGR_DESTINATION_INFO) == 276, "destination record layout");

// 64 bytes on the handheld (32-bit pointers); larger on a 64-bit desktop, so callers use sizeof.
struct CONNMGR_CONNECTIONINFO
{
    DWORD cbSize;
    DWORD dwParams;
    DWORD dwFlags;
    DWORD dwPriority;
    BOOL bExclusive;
    BOOL bDisabled;
    GUID guidDestNet;
    HWND hWnd;
    UINT uMsg;
    LPARAM lParam;
    ULONG ulMaxCost;
    ULONG ulMinRcvBw;
    ULONG ulMaxConnLatency;
};
static_assert(sizeof(void*) != 4 || sizeof(CONNMGR_CONNECTIONINFO) == 64, "connection record layout");

HRESULT ConnMgrEnumDestinations(int nIndex, CONNMGR_DESTINATION_INFO* pDestInfo);
HRESULT ConnMgrMapURL(LPCWSTR pwszURL, GUID* pguid, DWORD* pdwIndex);
// The handle is an event, signalled whenever the connection's status changes.
HRESULT ConnMgrEstablishConnection(CONNMGR_CONNECTIONINFO* pConnInfo, HANDLE* phConnection);
HRESULT ConnMgrConnectionStatus(HANDLE hConnection, DWORD* pdwStatus);
HRESULT ConnMgrReleaseConnection(HANDLE hConnection, LONG lCache);
