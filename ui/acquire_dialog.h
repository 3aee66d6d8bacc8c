#pragma once

#include <windows.h>

#include <string>

// The text of the last successful acquisition (CS-ID text or simple-coordinates text).
extern std::wstring g_strLocation;

// Run one acquisition in the modal progress dialog. 1: success, g_strLocation renewed;
// 2: failure (a message was shown) or cancel.
INT_PTR ShowCsIdDialog(HINSTANCE instance, HWND parent);
INT_PTR ShowSimpleCoordinatesDialog(HINSTANCE instance, HWND parent);
