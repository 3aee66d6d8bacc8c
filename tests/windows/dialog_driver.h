#pragma once

#include <windows.h>

#include <functional>
#include <thread>

// Works a modal dialog of the test's own thread from a helper thread, as a user would:
// waits until a visible window with `caption` belongs to that thread, then runs `script`
// with it. Messages sent from the script are handled by the dialog's modal loop.
class DialogScript
{
public:
    DialogScript(const wchar_t* caption, std::function<void(HWND)> script);
    ~DialogScript();
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    // Whether the dialog was found.
    bool Found();

private:
    std::thread m_thread;
    bool m_bFound = false;
};

// A visible top-level window of thread `threadId` with this caption, or null.
HWND FindThreadWindow(DWORD threadId, const wchar_t* caption);

// Presses a dialog button the way a click does.
void PressButton(HWND dialog, int id);
