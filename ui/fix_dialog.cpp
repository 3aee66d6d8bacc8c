#include "ui/fix_dialog.h"

#include "acquisition/fix_wait.h"
#include "acquisition/gnss_receiver.h"
#include "acquisition/module_setting.h"
#include "common/message_box.h"
#include "common/worker_task.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"
#include "ui/port_opening.h"

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 250;
constexpr INT_PTR kDone = 1;
constexpr INT_PTR kFailed = 2;
// The port is tried as the W-SIM's is: 30 times, 100 ms apart.
constexpr DWORD kOpenAttempts = 30;
constexpr DWORD kOpenIntervalMs = 100;

// The wait under way (one at a time, on the user-interface thread), set by ShowFixDialog.
struct FixState
{
    HINSTANCE instance = nullptr;
    std::wstring port;
    CFixWait wait{std::nullopt, kDefaultFixWaitSeconds};
    CPortOpening opening;
    DWORD opened = 0; // tick the port opened at
    bool ended = false;
    NmeaFix fix;
    unsigned speedFound = 0;
};
FixState g_fix;

// Ends the dialog once: nothing more is handled, the port closes.
void EndWith(HWND dialog, INT_PTR result)
{
    if (g_fix.ended) {
        return;
    }
    g_fix.ended = true;
    KillTimer(dialog, kTickTimer);
    g_fix.opening.GiveUp();
    g_receiver.SetNotify(nullptr, 0, 0);
    if (result != kDone) {
        g_receiver.Close(); // after a fix the caller closes it, once the fix has gone on
    }
    EndDialog(dialog, result); // at once: the browser may be waiting
}

void EndWithBox(HWND dialog, const std::wstring& text)
{
    KillTimer(dialog, kTickTimer);
    g_receiver.Close();
    ShowMessageBox(dialog, text, L"Error", MB_OK | MB_ICONERROR);
    EndWith(dialog, kFailed);
}

void StartOpening(HWND dialog)
{
    if (!g_fix.opening.Start(dialog, WM_TAVRIN_TASK_DONE, LineSettings8N1(g_fix.wait.Speed()), g_fix.port,
                             kOpenAttempts, kOpenIntervalMs, nullptr)) {
        EndWithBox(dialog, NoReceiverText(g_fix.port));
    }
}

void OnOpened(HWND dialog)
{
    DCB configured;
    std::wstring error;
    HANDLE device = g_fix.opening.Take(configured, error);
    if (device == INVALID_HANDLE_VALUE) {
        ShowMessageBox(dialog, error, L"Error", MB_OK | MB_ICONERROR);
        EndWith(dialog, kFailed);
        return;
    }
    if (!g_receiver.Adopt(device, configured)) {
        EndWithBox(dialog, NoReceiverText(g_fix.port));
        return;
    }
    g_fix.opened = GetTickCount();
    SetTimer(dialog, kTickTimer, kTickMs, nullptr);
}

void TakeFix(HWND dialog)
{
    std::optional<NmeaFix> fix = g_receiver.Fix();
    if (!fix || g_fix.ended ||
        g_fix.wait.Step(GetTickCount() - g_fix.opened, g_receiver.GoodSentences(), fix) != FixWaitStep::HandOver) {
        return;
    }
    g_fix.fix = *fix;
    // A fix may come before the tick that would have told the speed found.
    g_fix.speedFound = g_fix.wait.SearchedSpeed() ? g_fix.wait.Speed() : 0;
    EndWith(dialog, kDone);
}

void OnTick(HWND dialog)
{
    switch (g_fix.wait.OnTick(GetTickCount() - g_fix.opened, g_receiver.GoodSentences())) {
    case FixWaitStep::SwitchSpeed:
        g_receiver.SetSpeed(g_fix.wait.Speed());
        break;
    case FixWaitStep::SpeedFound:
        break;
    case FixWaitStep::NoReceiver:
        EndWithBox(dialog, NoReceiverText(g_fix.port));
        break;
    case FixWaitStep::NoFix:
        EndWithBox(dialog, NoFixText(g_fix.wait.FixWaitMs() / 1000));
        break;
    case FixWaitStep::Listen:
    case FixWaitStep::HandOver:
        break;
    }
}

// The port starts opening first: the dialog is dressed meanwhile.
void InitDialog(HWND dialog)
{
    g_receiver.SetNotify(dialog, WM_TAVRIN_ANSWER, WM_TAVRIN_SERIAL_ERROR);
    StartOpening(dialog);
    SetUpFullScreenDialog(dialog);
    SetProgressText(dialog, L"測位中…", FixWaitProgressText(g_fix.port));
}

INT_PTR CALLBACK FixDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        // The done button of the full-screen frame does not end the wait; only "中断" does.
        if (LOWORD(wParam) == IDCANCEL) {
            EndWith(dialog, kFailed);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        // A close from the window frame carries no result: it counts as "中断".
        if (LOWORD(wParam) == 0) {
            EndWith(dialog, kFailed);
            return TRUE;
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_TAVRIN_TASK_DONE:
        if (!g_fix.ended && g_fix.opening.Is(lParam)) {
            OnOpened(dialog);
        }
        return TRUE;
    case WM_TAVRIN_ANSWER:
        TakeFix(dialog);
        return TRUE;
    case WM_TIMER:
        if (wParam == kTickTimer && !g_fix.ended) {
            TakeFix(dialog); // a fix is taken before the wait is judged
            if (!g_fix.ended) {
                OnTick(dialog);
            }
        }
        return TRUE;
    case WM_TAVRIN_SERIAL_ERROR:
        // The reader has ended: the wait ends with its own box when its time is up.
        for (const std::wstring& text : g_receiver.TakeReadErrors()) {
            ShowMessageBox(dialog, text, L"Error", MB_OK | MB_ICONERROR);
        }
        return TRUE;
    case WM_DESTROY:
        // Also when taken down with its owner: nothing may reach a window that is gone.
        KillTimer(dialog, kTickTimer);
        g_fix.opening.GiveUp();
        g_receiver.SetNotify(nullptr, 0, 0);
        if (!g_fix.ended) {
            g_receiver.Close(); // taken down with its owner
        }
        return FALSE;
    case WM_SIZE:
        RelayoutFromTemplate(g_fix.instance, dialog, IDD_PROGRESS);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

void CloseFixPort()
{
    g_receiver.Close();
}

INT_PTR ShowFixDialog(HINSTANCE instance, HWND parent, const std::wstring& port, std::optional<unsigned> baud,
                      unsigned fixWaitSeconds, NmeaFix& fix, unsigned& speedFound, bool accuracyWanted)
{
    g_fix.wait = CFixWait(baud, fixWaitSeconds, accuracyWanted);
    g_fix.instance = instance;
    g_fix.port = port;
    g_fix.opened = 0;
    g_fix.ended = false;
    g_fix.fix = NmeaFix();
    g_fix.speedFound = 0;
    INT_PTR result = RunDialogFromTemplate(instance, IDD_PROGRESS, parent, FixDlgProc);
    if (result != kDone) {
        return kFailed;
    }
    fix = g_fix.fix;
    speedFound = g_fix.speedFound;
    return kDone;
}
