#pragma once

#include <windows.h>

// Whether the network of `url` is connected or could be connected now. Asks the Connection
// Manager and may wait for it: call it on a worker (any thread may). Busy when earlier work on
// the connection (a platform call that never returned) still holds it after
// kConnectionWorkWaitMs.
enum class NetworkState
{
    Usable,
    NotUsable,
    Busy,
};
NetworkState CheckNetworkState(const wchar_t* url);
bool IsNetworkAvailable(const wchar_t* url);
// Whether a dial-up (RAS) connection exists.
bool ConnectionExists();
// Modal connecting / disconnecting dialogs: 1 done, 2 failed or aborted. Each shows itself
// first and asks the Connection Manager and RAS from a worker, so the window keeps answering.
// "中断" ends the dialog at once; while connecting, it also stops the attempt and gives back
// any connection it started.
INT_PTR RunConnectDialog(HINSTANCE instance, HWND parent, const wchar_t* url);
INT_PTR RunDisconnectDialog(HINSTANCE instance, HWND parent);
// Program exit: stops the connect worker (it gives its connection back), waiting at most
// `waitMs` in all, also while a check is stuck in a platform call; a worker still busy then is
// left to the end of the process.
void ShutDownConnection(DWORD waitMs);
