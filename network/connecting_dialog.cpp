#include "network/connecting_dialog.h"

#include "common/message_box.h"
#include "common/text_format.h"
#include "network/connection.h"
#include "network/connection_rules.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"

#include <cwchar>

namespace {

constexpr size_t kMaxConnectionName = 1024;
constexpr INT_PTR kDone = 1;
constexpr INT_PTR kFailed = 2;

// The program's one connection object; only this module calls it.
CConnection g_connection;

bool g_bDisconnectMode = false;
HWND g_hParentWnd = nullptr;
HINSTANCE g_hDialogInstance = nullptr;
wchar_t g_szConnectionName[kMaxConnectionName + 1];

void SetConnectionName(const wchar_t* url)
{
    wmemset(g_szConnectionName, L'\0', kMaxConnectionName + 1);
    if (url != nullptr) {
        wcsncpy(g_szConnectionName, url, kMaxConnectionName);
    }
}

void EndWith(HWND dialog, INT_PTR result)
{
    PostMessageW(dialog, WM_CLOSE, static_cast<WPARAM>(result), 0);
}

void ShowCheckFailure(HWND dialog, DWORD status)
{
    std::wstring text = Format(L"接続確認に失敗しました。\n%ls(dwStats = 0x%08x)",
                               g_connection.GetLastMessage().c_str(), static_cast<unsigned>(status));
    ShowMessageBox(dialog, text, L"Error", MB_OK | MB_ICONSTOP);
}

void EndAs(HWND dialog, DialogAction action)
{
    if (action == DialogAction::EndDone) {
        EndWith(dialog, kDone);
    } else if (action == DialogAction::EndFailed) {
        EndWith(dialog, kFailed);
    }
}

void StartDialog(HWND dialog)
{
    DWORD status = 0;
    const bool exists = ConnectionExists();
    const int verdict = exists ? 0 : g_connection.CheckAvailable(g_szConnectionName, &status);
    DialogAction action = DecideDialogStart(g_bDisconnectMode, exists, verdict);
    switch (action) {
    case DialogAction::ReportCheckFailure:
        ShowCheckFailure(dialog, status);
        action = DialogAction::EndFailed;
        break;
    case DialogAction::Connect:
        if (g_connection.Connect(dialog, g_szConnectionName, WM_TAVRIN_CONNECTED, WM_TAVRIN_CONNECT_ENDED)) {
            action = DialogAction::AwaitEnd;
        } else {
            ShowMessageBox(dialog, L"接続に失敗しました。", L"Error", MB_OK | MB_ICONSTOP);
            action = DialogAction::EndFailed;
        }
        break;
    case DialogAction::HangUp: {
        // The stop's end message closes the dialog once the hang-ups are done.
        bool posted = g_connection.Abort(dialog, WM_TAVRIN_CONNECT_ENDED);
        g_connection.Disconnect();
        action = DecideAfterHangUp(posted);
        break;
    }
    default:
        break;
    }
    EndAs(dialog, action);
}

void InitDialog(HWND dialog)
{
    SetUpFullScreenDialog(dialog);
    std::wstring text;
    if (g_bDisconnectMode) {
        SetWindowTextW(dialog, L"切断中…");
        text = L"接続を切断しています。";
    } else {
        SetWindowTextW(dialog, L"接続中…");
        text = Format(L"%ls へ接続を開始します。", g_szConnectionName);
    }
    SetDlgItemTextW(dialog, IDC_PROGRESS_TEXT, text.c_str());
    WPARAM caret = text.empty() ? 0 : static_cast<WPARAM>(text.size() - 1);
    SendDlgItemMessageW(dialog, IDC_PROGRESS_TEXT, EM_SETSEL, caret, static_cast<LPARAM>(caret));
    SendDlgItemMessageW(dialog, IDC_PROGRESS_TEXT, EM_SCROLLCARET, 0, 0);
    StartDialog(dialog);
}

INT_PTR CALLBACK ConnectingDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dialog);
        return TRUE;
    case WM_SIZE:
        RelayoutFromTemplate(g_hDialogInstance, dialog, IDD_PROGRESS);
        return FALSE;
    case WM_CLOSE: {
        // A close from the window frame carries no result: it counts as an abort.
        INT_PTR result = LOWORD(wParam);
        EndDialog(dialog, result != 0 ? result : kFailed);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            PostMessageW(dialog, WM_CLOSE, wParam, lParam);
            return TRUE;
        }
        return FALSE;
    case WM_TAVRIN_CONNECTED:
    case WM_TAVRIN_CONNECT_ENDED:
        EndAs(dialog, DecideOnWorkerMessage(g_bDisconnectMode, message == WM_TAVRIN_CONNECTED));
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR RunProgressDialog()
{
    INT_PTR result = RunDialogFromTemplate(g_hDialogInstance, IDD_PROGRESS, g_hParentWnd, ConnectingDlgProc);
    return result == -1 || result == 0 ? kFailed : result;
}

} // namespace

bool IsNetworkAvailable(const wchar_t* url)
{
    SetConnectionName(url);
    return g_connection.CheckAvailable(url, nullptr) == 1;
}

bool ConnectionExists()
{
    return g_connection.IsConnectionExists() != 0;
}

INT_PTR RunConnectDialog(HINSTANCE instance, HWND parent, const wchar_t* url)
{
    if (url == nullptr || *url == L'\0') {
        return kFailed;
    }
    if (wcslen(url) > kMaxConnectionName) {
        ShowMessageBox(parent, L"接続名が長すぎます。", L"警告", MB_OK | MB_ICONEXCLAMATION);
        return kFailed;
    }
    SetConnectionName(url);
    g_bDisconnectMode = false;
    g_hParentWnd = parent;
    g_hDialogInstance = instance;
    return RunProgressDialog();
}

INT_PTR RunDisconnectDialog(HINSTANCE instance, HWND parent)
{
    g_bDisconnectMode = true;
    g_hParentWnd = parent;
    g_hDialogInstance = instance;
    return RunProgressDialog();
}
