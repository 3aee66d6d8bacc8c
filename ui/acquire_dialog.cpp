#include "ui/acquire_dialog.h"

#include "acquisition/acquire_logic.h"
#include "acquisition/cs_id.h"
#include "common/message_box.h"
#include "common/worker_task.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"
#include "ui/port_opening.h"

#include <memory>
#include <mutex>

std::wstring g_strLocation;

namespace {

int g_nAcquireMode = ACQUIRE_CS_ID;
HWND g_hAcquireParent = nullptr;
HINSTANCE g_hAcquireInstance = nullptr;
int g_nRetryLimit = kAcquireRetryLimit;
int g_nRetryCount = 0;
CAnswerWait g_answerWait;

CPortOpening g_opening;

void GiveUpOpening()
{
    g_opening.GiveUp();
}

void PostClose(HWND dialog, WPARAM code, LPARAM lParam = 0)
{
    g_answerWait.Stop();
    GiveUpOpening();
    PostMessageW(dialog, WM_CLOSE, code, lParam);
}

void ShowFailure(HWND dialog, const AnswerDecision& decision)
{
    ShowMessageBox(dialog, decision.text, decision.caption, decision.style);
}

INT_PTR RunAcquireDialog(HINSTANCE instance, HWND parent)
{
    g_hAcquireParent = parent;
    g_hAcquireInstance = instance;
    INT_PTR result = RunDialogFromTemplate(instance, IDD_PROGRESS, parent, AcquireDlgProc);
    return result == -1 ? 2 : result;
}

// The mode's first command; false when it could not be sent (the port has shown why).
bool SendFirstCommand()
{
    const bool sent = g_nAcquireMode == ACQUIRE_SIMPLE_COORDINATES ? g_csId.SendAtLbc1() : g_csId.SendAtK20();
    if (sent) {
        g_answerWait.CommandSent();
    }
    return sent;
}

void FailToSend(HWND dialog)
{
    ShowFailure(dialog, AcquireSendFailure(g_nAcquireMode));
    PostClose(dialog, 2);
}

// The port is opened on a worker, so the dialog answers (and "中断" works) while the device
// is tried; the worker also writes the first command, which goes out as soon as the port is
// open. A port left open by an earlier acquisition is used at once. False when the first
// command could not be sent on that port.
bool StartAcquisition(HWND dialog)
{
    if (g_csId.Port().IsOpen()) {
        return SendFirstCommand();
    }
    const char* command = CCsId::FirstCommand(g_nAcquireMode == ACQUIRE_SIMPLE_COORDINATES);
    if (!g_opening.Start(dialog, WM_TAVRIN_TASK_DONE, CCsId::LineSettings(), g_csId.DeviceName(),
                         g_csId.Port().OpenAttempts(), g_csId.Port().AttemptInterval(), command)) {
        return SendFirstCommand(); // opens the port here
    }
    return true;
}

void OnPortOpened(HWND dialog)
{
    DCB configured;
    std::wstring error;
    HANDLE device = g_opening.Take(configured, error);
    if (device == INVALID_HANDLE_VALUE) {
        ShowMessageBox(dialog, error, L"Error", MB_OK | MB_ICONERROR);
        FailToSend(dialog);
        return;
    }
    if (!g_csId.AdoptPort(device, configured)) {
        FailToSend(dialog);
        return;
    }
    g_answerWait.CommandSent();
}

// The command goes out (or the port starts opening) first: the dialog is dressed meanwhile,
// and a command that could not be sent is told once it is.
void OnInitDialog(HWND dialog)
{
    g_answerWait.Stop();
    g_csId.SetNotify(dialog, WM_TAVRIN_ANSWER, WM_TAVRIN_SERIAL_ERROR);
    const bool started = StartAcquisition(dialog);
    SetUpFullScreenDialog(dialog);
    SetProgressText(dialog, L"取得中…", AcquireProgressText(g_nAcquireMode));
    if (!started) {
        FailToSend(dialog);
    }
}

// The serial reader's failures, shown here on the dialog's thread; the reader has ended, and
// the dialog waits for "中断" as it does for a module that does not answer.
void ShowReadErrors(HWND dialog)
{
    for (const std::wstring& text : g_csId.TakeReadErrors()) {
        ShowMessageBox(dialog, text, L"Error", MB_OK | MB_ICONERROR);
    }
}

} // namespace

INT_PTR ShowCsIdDialog(HINSTANCE instance, HWND parent)
{
    g_nAcquireMode = ACQUIRE_CS_ID;
    return RunAcquireDialog(instance, parent);
}

INT_PTR ShowSimpleCoordinatesDialog(HINSTANCE instance, HWND parent)
{
    g_nRetryCount = 0;
    g_nAcquireMode = ACQUIRE_SIMPLE_COORDINATES;
    return RunAcquireDialog(instance, parent);
}

bool HandleAnswer(HWND dialog)
{
    std::wstring answer;
    int kind = g_csId.TakeResponse(answer);
    std::wstring result;
    bool parsed = false;
    if (kind == RESP_K20) {
        parsed = CCsId::ParseCsId(answer, result);
    } else if (kind == RESP_LBCQ) {
        parsed = CCsId::ParseSimpleCoordinates(answer, result);
    }

    AnswerDecision decision = g_answerWait.Decide(kind, parsed, g_nRetryCount, g_nRetryLimit);
    switch (decision.action) {
    case AnswerAction::Ignore:
        return true;
    case AnswerAction::SendQuery:
        if (g_csId.SendAtLbcQuery()) {
            g_answerWait.CommandSent();
            return true;
        }
        break;
    case AnswerAction::RepeatFix:
        if (g_csId.SendAtLbc1()) {
            g_answerWait.CommandSent();
            return true;
        }
        break;
    case AnswerAction::Succeed:
        g_strLocation = result;
        g_csId.ClosePort();
        PostClose(dialog, 1);
        return true;
    case AnswerAction::Fail:
        break;
    }
    ShowFailure(dialog, decision);
    return false;
}

INT_PTR CALLBACK AcquireDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            if (g_csId.IsPortOpened()) {
                g_csId.ClosePort();
            }
            PostClose(dialog, wParam, lParam);
            return TRUE;
        }
        // The done button of the full-screen frame (IDOK) does not end an acquisition.
        return FALSE;
    case WM_CLOSE:
        // A close from the window frame carries no result: it counts as a cancel.
        if (LOWORD(wParam) == 0) {
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        }
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_TAVRIN_ANSWER:
        if (!HandleAnswer(dialog)) {
            PostClose(dialog, 2);
        }
        return FALSE;
    case WM_TAVRIN_TASK_DONE:
        if (g_opening.Is(lParam)) {
            OnPortOpened(dialog);
        }
        return TRUE;
    case WM_TAVRIN_SERIAL_ERROR:
        ShowReadErrors(dialog);
        return TRUE;
    case WM_DESTROY:
        // Also when taken down with its owner: nothing may reach a window that is gone.
        g_answerWait.Stop();
        GiveUpOpening();
        g_csId.SetNotify(nullptr, 0);
        return FALSE;
    case WM_SIZE:
        RelayoutFromTemplate(g_hAcquireInstance, dialog, IDD_PROGRESS);
        return FALSE;
    default:
        return FALSE;
    }
}
