#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Every message box of the program is shown through ShowMessageBox. It returns what
// MessageBoxW returns (IDOK, IDYES, ...). Boxes raised on worker threads pass no owner.
int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style);

// Tests replace the real box with a hook that records the box and answers as a user
// would. The hook runs on the thread that shows the box. An empty hook restores real boxes.
using MessageBoxHook =
    std::function<int(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style)>;
void SetMessageBoxHook(MessageBoxHook hook);
