#include "acquisition/acquire_dialog.h"

#include "acquisition/acquire_logic.h"
#include "acquisition/cs_id.h"
#include "common/message_box.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"

std::wstring g_strLocation;

namespace {

int g_nAcquireMode = ACQUIRE_CS_ID;
HWND g_hAcquireParent = nullptr;
HINSTANCE g_hAcquireInstance = nullptr;
int g_nRetryLimit = kAcquireRetryLimit;
int g_nRetryCount = 0;
CAnswerWait g_answerWait;

void PostClose(HWND dialog, WPARAM code, LPARAM lParam = 0)
{
    g_answerWait.Stop();
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

void OnInitDialog(HWND dialog)
{
    g_answerWait.Stop();
    // The command goes out first: the dialog is dressed while the W-SIM answers.
    g_csId.SetNotify(dialog, WM_TAVRIN_ANSWER);
    bool sent = g_nAcquireMode == ACQUIRE_SIMPLE_COORDINATES ? g_csId.SendAtLbc1() : g_csId.SendAtK20();
    if (sent) {
        g_answerWait.CommandSent();
    }
    SetUpFullScreenDialog(dialog);
    SetWindowTextW(dialog, L"取得中…");
    HWND edit = GetDlgItem(dialog, IDC_PROGRESS_TEXT);
    SetWindowTextW(edit, AcquireProgressText(g_nAcquireMode));
    int caret = GetWindowTextLengthW(edit) - 1;
    SendMessageW(edit, EM_SETSEL, caret, caret);
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);

    if (!sent) {
        ShowFailure(dialog, AcquireSendFailure(g_nAcquireMode));
        PostClose(dialog, 2);
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
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_TAVRIN_ANSWER:
        if (!HandleAnswer(dialog)) {
            PostClose(dialog, 2);
        }
        return FALSE;
    case WM_SIZE:
        RelayoutFromTemplate(g_hAcquireInstance, dialog, IDD_PROGRESS);
        return FALSE;
    default:
        return FALSE;
    }
}
