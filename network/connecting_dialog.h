#pragma once

#include <windows.h>

// Whether the network of `url` is connected or could be connected now.
bool IsNetworkAvailable(const wchar_t* url);
// Whether a dial-up (RAS) connection exists.
bool ConnectionExists();
// Modal connecting / disconnecting dialogs: 1 done, 2 failed or aborted.
INT_PTR RunConnectDialog(HINSTANCE instance, HWND parent, const wchar_t* url);
INT_PTR RunDisconnectDialog(HINSTANCE instance, HWND parent);
