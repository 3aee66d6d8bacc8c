// Desktop stand-in for the handheld's message box: the platform's box, kept on the screen.
#pragma once

#include <windows.h>

// Shows a message box as MessageBoxW does, except that a box wider than the work area is
// narrowed to it with its text wrapped to the narrower width, as the handheld lays out its
// boxes (the desktop's box grows with its text up to a width of its own, which passes the
// edges of a 240-pixel screen). Returns what MessageBoxW returns.
int ShowScreenMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
