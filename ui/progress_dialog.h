#pragma once

#include "common/worker_task.h"

#include <windows.h>

#include <string>

// A wait of a command, beside the window. The work runs on a worker (or there is only time to
// wait); the owner is disabled, so no second command starts, but the window keeps painting
// and answering; the progress dialog (template 130, "中断") comes up when the wait lasts.
// Every wait ends: with the work, at its limit, with "中断", or when the owner goes away.
enum class ProgressEnd
{
    Done,      // the work returned
    TimedOut,  // the limit passed first (for a plain wait: the wait is over)
    Cancelled, // "中断", or the dialog was closed
    Closed,    // the owner went away or the program is quitting
};

struct ProgressRequest
{
    const wchar_t* caption = L"";
    std::wstring text;
    DWORD limitMs = INFINITE;
    // The dialog shows only for a wait that lasts this long (0: at once).
    DWORD showAfterMs = 0;
    // Runs on a worker; empty for a plain wait of limitMs. On any end but Done the task is
    // given up on: it must not touch anything the caller may release, and the caller ends its
    // blocking calls itself (closing their handles).
    CWorkerTask::Work work;
};

ProgressEnd RunProgress(HINSTANCE instance, HWND owner, const ProgressRequest& request);
