#include "ui/progress_dialog.h"

#include "resources/resource.h"
#include "ui/dialog_frame.h"

#include <memory>

namespace {

constexpr UINT_PTR kLimitTimer = 1;
constexpr UINT_PTR kShowTimer = 2;
const wchar_t kSinkClass[] = L"TavrinWait";

struct ProgressState
{
    HINSTANCE instance = nullptr;
    std::shared_ptr<CWorkerTask> task;
    HWND dialog = nullptr;
    bool showDue = false; // the wait has lasted: the dialog comes up
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

// The wait's own window: the work's end and the timers come here, and every modal loop of
// the thread dispatches them.
LRESULT CALLBACK SinkProc(HWND sink, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* state = reinterpret_cast<ProgressState*>(GetWindowLongPtrW(sink, GWLP_USERDATA));
    if (state == nullptr) {
        return DefWindowProcW(sink, message, wParam, lParam);
    }
    switch (message) {
    case WM_TAVRIN_TASK_DONE:
        if (state->task && state->task->Is(lParam)) {
            Finish(*state, ProgressEnd::Done);
        }
        return 0;
    case WM_TIMER:
        KillTimer(sink, wParam);
        if (wParam == kLimitTimer) {
            Finish(*state, ProgressEnd::TimedOut);
        } else if (wParam == kShowTimer) {
            state->showDue = true; // the wait's own loop shows it
        }
        return 0;
    default:
        return DefWindowProcW(sink, message, wParam, lParam);
    }
}

HWND CreateSink(HINSTANCE instance, ProgressState& state)
{
    static const bool registered = [instance] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = SinkProc;
        wc.hInstance = instance;
        wc.lpszClassName = kSinkClass;
        return RegisterClassW(&wc) != 0;
    }();
    HWND sink = registered
                    ? CreateWindowExW(0, kSinkClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr)
                    : nullptr;
    if (sink != nullptr) {
        SetWindowLongPtrW(sink, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    }
    return sink;
}

} // namespace

ProgressEnd RunProgress(HINSTANCE instance, HWND owner, const ProgressRequest& request)
{
    ProgressState state;
    state.instance = instance;
    HWND sink = CreateSink(instance, state);
    if (request.work) {
        state.task = sink != nullptr ? CWorkerTask::Start(sink, WM_TAVRIN_TASK_DONE, request.work) : nullptr;
        if (!state.task) {
            // No thread (or nowhere to hear from one): the work runs here, so that its outcome is not lost.
            if (sink != nullptr) {
                DestroyWindow(sink);
            }
            CWorkerTask here(nullptr, 0, request.work);
            request.work(here);
            return ProgressEnd::Done;
        }
    } else if (sink == nullptr) {
        return request.until && request.until() ? ProgressEnd::Done : ProgressEnd::Closed;
    }
    if (request.limitMs != INFINITE) {
        SetTimer(sink, kLimitTimer, request.limitMs, nullptr);
    }
    if (request.showAfterMs == 0) {
        state.dialog = ShowProgressDialog(state, owner, request);
    } else if (request.showAfterMs != INFINITE) {
        SetTimer(sink, kShowTimer, request.showAfterMs, nullptr);
    }
    COwnerDisabled disabled(owner);

    // The owner's own loop is not running while this waits: this one dispatches for it.
    MSG msg;
    while (!state.finished) {
        if (state.showDue && state.dialog == nullptr) {
            state.dialog = ShowProgressDialog(state, owner, request);
        }
        if (!request.work && request.until && request.until()) {
            Finish(state, ProgressEnd::Done);
            break;
        }
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // the outer loop must see it too
            }
            Finish(state, ProgressEnd::Closed);
            break;
        }
        if (state.dialog == nullptr || !IsWindow(state.dialog) || !IsDialogMessageW(state.dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    SetWindowLongPtrW(sink, GWLP_USERDATA, 0);
    DestroyWindow(sink); // its timers go with it
    disabled.Restore(state.dialog != nullptr);
    if (state.dialog != nullptr && IsWindow(state.dialog)) {
        SetWindowLongPtrW(state.dialog, DWLP_USER, 0);
        DestroyWindow(state.dialog);
    }
    if (state.task && state.end != ProgressEnd::Done) {
        state.task->Abandon();
    }
    return state.end;
}
