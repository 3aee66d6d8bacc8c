#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Every message box of the program is shown through ShowMessageBox. It returns what
// MessageBoxW returns (IDOK, IDYES, ...). Boxes raised on worker threads pass no owner.
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);

// The program's kinds of box, each under its caption from the string table: a failure, a
// warning (what the user must do first), and a question answered IDYES or IDNO.
int ShowErrorBox(HWND owner, const std::wstring& text);
int ShowWarningBox(HWND owner, const std::wstring& text, UINT icon = MB_ICONEXCLAMATION);
int ShowQuestionBox(HWND owner, const std::wstring& text);

// Tests replace the real box with a hook that records the box and answers as a user
// would. The hook runs on the thread that shows the box. An empty hook restores real boxes.
using MessageBoxHook =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style)>;
void SetMessageBoxHook(MessageBoxHook hook);
