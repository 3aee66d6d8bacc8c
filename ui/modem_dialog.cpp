#include "ui/modem_dialog.h"

#include "acquisition/modem_port.h"
#include "common/message_box.h"
#include "common/worker_task.h"
#include "resources/resource.h"
#include "ui/command_logic.h"
#include "ui/dialog_frame.h"
#include "ui/port_opening.h"

#include <memory>

namespace {

constexpr UINT_PTR kAnswerTimer = 1;
constexpr UINT_PTR kDeadlineTimer = 2;
constexpr INT_PTR kDone = 1;
constexpr INT_PTR kFailed = 2;

// The dialogue under way (one at a time, on the user-interface thread), set by ShowModemDialog.
struct ModemState
{
    HINSTANCE instance = nullptr;
    std::wstring port;
    std::unique_ptr<CModemDialogue> dialogue;
    CPortOpening opening;
    bool ended = false;
    CellTower cell;
};
ModemState g_modemState;

void StopTimers(HWND dialog)
{
    KillTimer(dialog, kAnswerTimer);
    KillTimer(dialog, kDeadlineTimer);
}

// Ends the dialog once: nothing more is handled, the port closes.
void EndWith(HWND dialog, INT_PTR result)
{
    if (g_modemState.ended) {
        return;
    }
    g_modemState.ended = true;
    StopTimers(dialog);
    g_modemState.opening.GiveUp();
    g_modem.SetNotify(nullptr, 0, 0);
    g_modem.Close();
    PostMessageW(dialog, WM_CLOSE, static_cast<WPARAM>(result), 0);
}

// The port closes before the box: the user may unplug or retry while reading it.
void EndWithBox(HWND dialog, const std::wstring& text)
{
    if (g_modemState.ended) {
        return;
    }
    StopTimers(dialog);
    g_modemState.opening.GiveUp();
    g_modem.SetNotify(nullptr, 0, 0);
    g_modem.Close();
    ShowMessageBox(dialog, text, L"Error", MB_OK | MB_ICONERROR);
    EndWith(dialog, kFailed);
}

void Perform(HWND dialog, const ModemAction& action)
{
    if (g_modemState.dialogue->Ended()) {
        const ModemOutcome& outcome = g_modemState.dialogue->Outcome();
        if (outcome.step == ModemStep::Cell) {
            g_modemState.cell = outcome.cell;
            EndWith(dialog, kDone);
        } else if (outcome.message.empty()) {
            EndWith(dialog, kFailed);
        } else {
            EndWithBox(dialog, outcome.message);
        }
        return;
    }
    if (action.speed != 0) {
        g_modem.SetSpeed(action.speed);
    }
    if (!action.command.empty() && !g_modem.Write(action.command)) {
        EndWith(dialog, kFailed); // the port showed its box
        return;
    }
    if (action.waitMs != 0) {
        SetTimer(dialog, kAnswerTimer, action.waitMs, nullptr);
    }
}

template <class F> void Step(HWND dialog, F f)
{
    if (g_modemState.ended) {
        return;
    }
    const ModemAction action = g_modem.With([&] { return f(*g_modemState.dialogue); });
    Perform(dialog, action);
}

void StartOpening(HWND dialog)
{
    if (!g_modemState.opening.Start(dialog, WM_TAVRIN_TASK_DONE, LineSettings8N1(g_modemState.dialogue->FirstSpeed()),
                                    g_modemState.port, 30, 100, nullptr)) {
        EndWithBox(dialog, ModemSilentText(g_modemState.port));
    }
}

void OnOpened(HWND dialog)
{
    DCB configured;
    std::wstring error;
    HANDLE device = g_modemState.opening.Take(configured, error);
    if (device == INVALID_HANDLE_VALUE) {
        EndWithBox(dialog, error);
        return;
    }
    if (!g_modem.Adopt(device, configured, g_modemState.dialogue.get())) {
        EndWithBox(dialog, ModemSilentText(g_modemState.port));
        return;
    }
    Step(dialog, [](CModemDialogue& d) { return d.Start(); });
}

// The port starts opening first: the dialog is dressed meanwhile.
void InitDialog(HWND dialog)
{
    g_modem.SetNotify(dialog, WM_TAVRIN_ANSWER, WM_TAVRIN_SERIAL_ERROR);
    SetTimer(dialog, kDeadlineTimer, kModemDeadlineMs, nullptr);
    StartOpening(dialog);
    SetUpFullScreenDialog(dialog);
    SetProgressText(dialog, L"取得中…", ModemProgressText(g_modemState.port));
}

void Cancel(HWND dialog, const std::wstring& message)
{
    if (g_modemState.opening.Running() || !g_modem.IsOpen()) {
        EndWith(dialog, kFailed);
        return;
    }
    KillTimer(dialog, kDeadlineTimer);
    Step(dialog, [&](CModemDialogue& d) { return d.Stop(message); });
}

INT_PTR CALLBACK ModemDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        // The done button of the full-screen frame does not end the dialogue; only "中断" does.
        if (LOWORD(wParam) == IDCANCEL) {
            Cancel(dialog, std::wstring());
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        // A close from the window frame carries no result: it counts as "中断".
        if (LOWORD(wParam) == 0) {
            Cancel(dialog, std::wstring());
            return TRUE;
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_TAVRIN_TASK_DONE:
        if (!g_modemState.ended && g_modemState.opening.Is(lParam)) {
            OnOpened(dialog);
        }
        return TRUE;
    case WM_TAVRIN_ANSWER:
        // A stale notice (its answer already taken when its wait ended) changes nothing.
        Step(dialog, [](CModemDialogue& d) { return d.OnAnswer(); });
        return TRUE;
    case WM_TIMER:
        if (wParam == kAnswerTimer) {
            KillTimer(dialog, kAnswerTimer);
            Step(dialog, [](CModemDialogue& d) { return d.OnWaitEnded(); });
        } else if (wParam == kDeadlineTimer) {
            Cancel(dialog, ModemTimeoutText(kModemDeadlineMs / 1000));
        }
        return TRUE;
    case WM_TAVRIN_SERIAL_ERROR:
        // The reader has ended: the answer's wait ends the dialogue.
        for (const std::wstring& text : g_modem.TakeReadErrors()) {
            ShowMessageBox(dialog, text, L"Error", MB_OK | MB_ICONERROR);
        }
        return TRUE;
    case WM_DESTROY:
        // Also when taken down with its owner: nothing may reach a window that is gone.
        StopTimers(dialog);
        g_modemState.opening.GiveUp();
        g_modem.SetNotify(nullptr, 0, 0);
        g_modem.Close();
        return FALSE;
    case WM_SIZE:
        RelayoutFromTemplate(g_modemState.instance, dialog, IDD_PROGRESS);
        return FALSE;
    default:
        return FALSE;
    }
}

} // namespace

INT_PTR ShowModemDialog(HINSTANCE instance, HWND parent, const std::wstring& port, std::optional<unsigned> baud,
                        CellTower& cell)
{
    g_modemState.instance = instance;
    g_modemState.port = port;
    g_modemState.dialogue = std::make_unique<CModemDialogue>(port, baud);
    g_modemState.ended = false;
    g_modemState.cell = CellTower();
    INT_PTR result = RunDialogFromTemplate(instance, IDD_PROGRESS, parent, ModemDlgProc);
    if (result != kDone) {
        return kFailed;
    }
    cell = g_modemState.cell;
    return kDone;
}
