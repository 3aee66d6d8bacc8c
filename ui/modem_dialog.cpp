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
constexpr unsigned kDefaultModemBaud = 9600;

// The dialogue under way (one at a time, on the user-interface thread), set by ShowModemDialog.
struct ModemState
{
    HINSTANCE instance = nullptr;
    std::wstring port;
    unsigned baud = kDefaultModemBaud;
    CModemDialogue dialogue;
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

void SendNext(HWND dialog)
{
    const std::string& command = g_modemState.dialogue.NextCommand();
    SetTimer(dialog, kAnswerTimer, kModemAnswerWaitMs, nullptr);
    if (!g_modem.Send(command)) {
        EndWith(dialog, kFailed); // the port showed its box
    }
}

// One answer, complete or cut by its wait, taken by the dialogue.
void TakeAnswer(HWND dialog)
{
    KillTimer(dialog, kAnswerTimer);
    const ModemAnswer answer = g_modem.Answer();
    if (answer.final == ModemFinal::None && g_modem.BytesHeard() == 0) {
        // Not a byte since the port opened: no modem will answer the next command either.
        EndWithBox(dialog, ModemSilentText(g_modemState.port));
        return;
    }
    const ModemOutcome outcome = g_modemState.dialogue.OnAnswer(answer);
    switch (outcome.step) {
    case ModemStep::Continue:
        SendNext(dialog);
        break;
    case ModemStep::Cell:
        g_modemState.cell = outcome.cell;
        EndWith(dialog, kDone);
        break;
    case ModemStep::NotRegistered:
    case ModemStep::Failed:
        EndWithBox(dialog, outcome.message);
        break;
    }
}

void StartOpening(HWND dialog)
{
    if (!g_modemState.opening.Start(dialog, WM_TAVRIN_TASK_DONE, LineSettings8N1(g_modemState.baud), g_modemState.port,
                                    30, 100, nullptr)) {
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
    if (!g_modem.Adopt(device, configured)) {
        EndWithBox(dialog, ModemSilentText(g_modemState.port));
        return;
    }
    SendNext(dialog);
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

INT_PTR CALLBACK ModemDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        // The done button of the full-screen frame does not end the dialogue; only "中断" does.
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
        if (!g_modemState.ended && g_modemState.opening.Is(lParam)) {
            OnOpened(dialog);
        }
        return TRUE;
    case WM_TAVRIN_ANSWER:
        // A stale notice (its answer already taken when its wait ended) finds it incomplete.
        if (!g_modemState.ended && g_modem.Answer().final != ModemFinal::None) {
            TakeAnswer(dialog);
        }
        return TRUE;
    case WM_TIMER:
        if (g_modemState.ended) {
            return TRUE;
        }
        if (wParam == kAnswerTimer) {
            TakeAnswer(dialog); // counts as refused: the dialogue goes on with the next kind
        } else if (wParam == kDeadlineTimer) {
            EndWithBox(dialog, ModemTimeoutText(kModemDeadlineMs / 1000));
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
    g_modemState.baud = baud.value_or(kDefaultModemBaud);
    g_modemState.dialogue = CModemDialogue();
    g_modemState.ended = false;
    g_modemState.cell = CellTower();
    INT_PTR result = RunDialogFromTemplate(instance, IDD_PROGRESS, parent, ModemDlgProc);
    if (result != kDone) {
        return kFailed;
    }
    cell = g_modemState.cell;
    return kDone;
}
