// Start-up and the one top-level window.
#pragma once

#include <windows.h>

#include "platform/aygshell.h"

extern HWND g_hWndMenuBar;
extern SHACTIVATEINFO g_activateInfo;

// Creates the main window with its soft-key bar and controls and loads default.ini.
// False when another instance runs (it is brought to the front) or the window cannot be made.
BOOL InitInstance(HINSTANCE instance, int showCommand);
ATOM RegisterMainClass(HINSTANCE instance, const wchar_t* className);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnOpenSettings(HWND window);
LRESULT OnSaveSettings(HWND window);
// "設定…": the settings screen; what its OK keeps is in use at once, as after "開く". With
// `searchAtOnce` (a device wait on whose port nothing answered) the port search starts there.
LRESULT OnSettingsScreen(HWND window, bool searchAtOnce = false);
// "キャッシュを消去": asks, then removes every entry of the lookup cache.
LRESULT OnClearCache(HWND window);

// Runs the thread's message loop until WM_QUIT and returns its code. Accelerators act for
// the main window whichever of its controls has the focus.
int RunMessageLoop(HACCEL accelerators);

// The main window of this process, once made.
HWND MainWindow();

// After the message loop: ends what still runs (the serial reader, the connect worker) within
// a few seconds. Whatever does not end in time is left to the end of the process.
void ShutDown();
