#pragma once

#include "common/worker_task.h"

#include <windows.h>

#include <functional>
#include <string>

// A wait of a command, beside the window. The work runs on a worker (or there is only time to
// wait, or a condition to wait for); the owner is disabled, so no second command starts, but
// the window keeps painting and answering; the progress dialog (template 130, "中断") comes up
// when the wait lasts. Every wait ends: with the work, at its limit, with "中断", or when the
// owner goes away. The work's end and the wait's ticks reach a window of the wait's own, so a
// menu, a window being moved or a box opened meanwhile loses none of them: the wait ends when
// that loop returns, as it would have.
enum class ProgressEnd
{
    Done,      // the work returned, or the condition holds
    TimedOut,  // the limit passed first (for a plain wait: the wait is over)
    Cancelled, // "中断", or the dialog was closed
    Closed,    // the owner went away or the program is quitting
};

struct ProgressRequest
{
    std::wstring caption;
    std::wstring text;
    DWORD limitMs = INFINITE;
    // The dialog shows only for a wait that lasts this long (0: at once; INFINITE: never).
    DWORD showAfterMs = 0;
    // Runs on a worker. On any end but Done the task is given up on: it must not touch anything
    // the caller may release, and it ends its blocking calls itself.
    CWorkerTask::Work work;
    // Without work: the wait is Done once this holds (checked now and after each message the
    // thread takes, so whatever makes it hold must post one).
    std::function<bool()> until;
};

ProgressEnd RunProgress(HINSTANCE instance, HWND owner, const ProgressRequest& request);
