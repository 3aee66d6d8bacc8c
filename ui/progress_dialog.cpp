#include "ui/progress_dialog.h"

#include "resources/resource.h"
#include "ui/dialog_frame.h"

#include <memory>

namespace {

constexpr UINT_PTR kLimitTimer = 1;
constexpr UINT_PTR kShowTimer = 2;

struct ProgressState
{
    HINSTANCE instance = nullptr;
    std::shared_ptr<CWorkerTask> task;
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
    case WM_TIMER:
        if (wParam == kLimitTimer) {
            Finish(*state, ProgressEnd::TimedOut);
        } else if (wParam == kShowTimer) {
            KillTimer(dialog, kShowTimer);
            ShowWindow(dialog, SW_SHOW);
        }
        return TRUE;
    case WM_TAVRIN_TASK_DONE:
        if (state->task && state->task->Is(lParam)) {
            Finish(*state, ProgressEnd::Done);
        }
        return TRUE;
    case WM_SIZE:
        RelayoutFromTemplate(state->instance, dialog, IDD_PROGRESS);
        return FALSE;
    case WM_DESTROY:
        // Taken down with its owner: the wait is over, and the loop must wake to see it.
        Finish(*state, ProgressEnd::Closed);
        PostMessageW(nullptr, WM_NULL, 0, 0);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

ProgressEnd RunProgress(HINSTANCE instance, HWND owner, const ProgressRequest& request)
{
    ProgressState state;
    state.instance = instance;
    auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(FindDialogTemplate(instance, IDD_PROGRESS, nullptr));
    HWND dialog = dialogTemplate != nullptr
                      ? CreateDialogIndirectParamW(instance, dialogTemplate, owner, ProgressDlgProc,
                                                   reinterpret_cast<LPARAM>(&state))
                      : nullptr;
    // Set here, while the dialog is still hidden, so that the guide's message check sees where
    // the texts come from.
    if (dialog != nullptr) {
        SetProgressText(dialog, request.caption, request.text);
    }
    if (request.work) {
        state.task = dialog != nullptr ? CWorkerTask::Start(dialog, WM_TAVRIN_TASK_DONE, request.work) : nullptr;
        if (!state.task) {
            // No dialog or no thread: the work runs here, so that its outcome is not lost.
            if (dialog != nullptr) {
                DestroyWindow(dialog);
            }
            CWorkerTask here(nullptr, 0, request.work);
            request.work(here);
            return ProgressEnd::Done;
        }
    } else if (dialog == nullptr) {
        return ProgressEnd::Cancelled;
    }
    if (request.limitMs != INFINITE) {
        SetTimer(dialog, kLimitTimer, request.limitMs, nullptr);
    }
    if (request.showAfterMs == 0) {
        ShowWindow(dialog, SW_SHOW);
    } else {
        SetTimer(dialog, kShowTimer, request.showAfterMs, nullptr);
    }
    const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
    if (ownerWasEnabled) {
        EnableWindow(owner, FALSE);
    }

    // The owner's own loop is not running while this waits: this one dispatches for it.
    MSG msg;
    while (!state.finished) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // the outer loop must see it too
            Finish(state, ProgressEnd::Closed);
            break;
        }
        if (got < 0) {
            Finish(state, ProgressEnd::Closed);
            break;
        }
        if (!IsWindow(dialog) || !IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    // The owner is enabled before the dialog goes, so that it is activated again.
    if (ownerWasEnabled && IsWindow(owner)) {
        EnableWindow(owner, TRUE);
    }
    if (IsWindow(dialog)) {
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        DestroyWindow(dialog);
    }
    if (state.task && state.end != ProgressEnd::Done) {
        state.task->Abandon();
    }
    return state.end;
}
