#pragma once

#include <windows.h>

#include <string>

// The main window's control commands and its timer, called by the window procedure.
// A negative result asks the window procedure for default processing.
LRESULT OnControlCommand(HWND window, WPARAM wParam, LPARAM lParam);
// Whether a command is running (its dialogs and waits keep the window answering meanwhile).
bool CommandRunning();
LRESULT OnTimer(HWND window, UINT_PTR timerId);
// One line into the log, the controls read back first (what the user changed on screen stays).
void LogLine(const std::wstring& text);
