#pragma once

#include <windows.h>

// The main window's control commands and its timer, called by the window procedure.
// A negative result asks the window procedure for default processing.
LRESULT OnControlCommand(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnTimer(HWND window, UINT_PTR timerId);
