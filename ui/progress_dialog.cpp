#include "ui/progress_dialog.h"

#include "resources/resource.h"
#include "ui/dialog_frame.h"

#include <memory>

namespace {

struct ProgressState
{
    HINSTANCE instance = nullptr;
    bool finished = false;
    ProgressEnd end = ProgressEnd::Closed;
};

void Finish(ProgressState& state, ProgressEnd end)
{
    if (!state.finished) {
        state.finished = true;
        state.end = end;
    }
}

INT_PTR CALLBACK ProgressDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetUpFullScreenDialog(dialog);
        return TRUE;
    }
    auto* state = reinterpret_cast<ProgressState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (state == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_COMMAND:
        // The done button of the full-screen frame does not end a wait; only "中断" does.
        if (LOWORD(wParam) == IDCANCEL) {
            Finish(*state, ProgressEnd::Cancelled);
        }
        return TRUE;
    case WM_CLOSE:
        Finish(*state, ProgressEnd::Cancelled);
        return TRUE;
    case WM_SIZE:
        RelayoutFromTemplate(state->instance, dialog, IDD_PROGRESS);
        return FALSE;
    case WM_DESTROY:
        // Taken down with its owner: the wait is over.
        Finish(*state, ProgressEnd::Closed);
        return FALSE;
    default:
        return FALSE;
    }
}

// The dialog comes up only for a wait that lasts: a quick one creates no window at all.
HWND ShowProgressDialog(ProgressState& state, HWND owner, const ProgressRequest& request)
{
    auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(FindDialogTemplate(state.instance, IDD_PROGRESS, nullptr));
    HWND dialog = dialogTemplate != nullptr
                      ? CreateDialogIndirectParamW(state.instance, dialogTemplate, owner, ProgressDlgProc,
                                                   reinterpret_cast<LPARAM>(&state))
                      : nullptr;
    if (dialog != nullptr) {
        SetProgressText(dialog, request.caption, request.text);
        ShowWindow(dialog, SW_SHOW);
    }
    return dialog;
}

} // namespace

ProgressEnd RunProgress(HINSTANCE instance, HWND owner, const ProgressRequest& request)
{
    ProgressState state;
    state.instance = instance;
    // The work's end and the timers come to this thread: there is no window yet to tell.
    std::shared_ptr<CWorkerTask> task;
    if (request.work) {
        task = CWorkerTask::StartForThread(GetCurrentThreadId(), WM_TAVRIN_TASK_DONE, request.work);
        if (!task) {
            // No thread: the work runs here, so that its outcome is not lost.
            CWorkerTask here(nullptr, 0, request.work);
            request.work(here);
            return ProgressEnd::Done;
        }
    }
    const UINT_PTR limitTimer = request.limitMs != INFINITE ? SetTimer(nullptr, 0, request.limitMs, nullptr) : 0;
    UINT_PTR showTimer = request.showAfterMs != 0 ? SetTimer(nullptr, 0, request.showAfterMs, nullptr) : 0;
    HWND dialog = request.showAfterMs == 0 ? ShowProgressDialog(state, owner, request) : nullptr;
    const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
    if (ownerWasEnabled) {
        EnableWindow(owner, FALSE);
    }

    // The owner's own loop is not running while this waits: this one dispatches for it.
    MSG msg;
    while (!state.finished) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // the outer loop must see it too
            }
            Finish(state, ProgressEnd::Closed);
            break;
        }
        if (msg.hwnd == nullptr && msg.message == WM_TAVRIN_TASK_DONE) {
            if (task && task->Is(msg.lParam)) {
                Finish(state, ProgressEnd::Done);
            }
        } else if (msg.hwnd == nullptr && msg.message == WM_TIMER && msg.wParam == limitTimer && limitTimer != 0) {
            Finish(state, ProgressEnd::TimedOut);
        } else if (msg.hwnd == nullptr && msg.message == WM_TIMER && msg.wParam == showTimer && showTimer != 0) {
            KillTimer(nullptr, showTimer);
            showTimer = 0;
            dialog = ShowProgressDialog(state, owner, request);
        } else if (dialog == nullptr || !IsWindow(dialog) || !IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    for (UINT_PTR timer : {limitTimer, showTimer}) {
        if (timer != 0) {
            KillTimer(nullptr, timer);
        }
    }
    // The owner is enabled before the dialog goes, so that it is activated again.
    if (ownerWasEnabled && IsWindow(owner)) {
        EnableWindow(owner, TRUE);
    }
    if (dialog != nullptr && IsWindow(dialog)) {
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        DestroyWindow(dialog);
    }
    if (task && state.end != ProgressEnd::Done) {
        task->Abandon();
    }
    return state.end;
}
