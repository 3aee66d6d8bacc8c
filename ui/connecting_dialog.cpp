#include "ui/connecting_dialog.h"

#include "common/message_box.h"
#include "common/text_format.h"
#include "common/texts.h"
#include "common/worker_task.h"
#include "network/connection.h"
#include "network/connection_rules.h"
#include "resources/resource.h"
#include "ui/dialog_frame.h"

#include <atomic>
#include <cwchar>
#include <memory>
#include <string>

namespace {

constexpr size_t kMaxConnectionName = 1024;
constexpr INT_PTR kDone = 1;
constexpr INT_PTR kFailed = 2;

// The program's one connection object; only this module calls it.
CConnection g_connection;

// Whoever works on the connection object beyond listing dial-ups holds this: a dialog's start,
// an availability check, the exit. A dialog the user left may still be working on it.
HANDLE ConnectionWork()
{
    static HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    return mutex;
}

class CConnectionWork
{
public:
    explicit CConnectionWork(DWORD waitMs = kConnectionWorkWaitMs)
        : m_held(WaitForSingleObject(ConnectionWork(), waitMs) == WAIT_OBJECT_0)
    {
    }
    ~CConnectionWork()
    {
        if (m_held) {
            ReleaseMutex(ConnectionWork());
        }
    }
    CConnectionWork(const CConnectionWork&) = delete;
    CConnectionWork& operator=(const CConnectionWork&) = delete;
    bool Held() const { return m_held; }

private:
    bool m_held;
};

// The URL whose network is wanted: set by the connect dialog and the availability check,
// read by the disconnect dialog's check. Guarded by the connection work.
wchar_t g_szConnectionName[kMaxConnectionName + 1];

void SetConnectionName(const wchar_t* url)
{
    wmemset(g_szConnectionName, L'\0', kMaxConnectionName + 1);
    if (url != nullptr) {
        wcsncpy(g_szConnectionName, url, kMaxConnectionName);
    }
}

// What the dialog's worker found out, for the dialog to act on.
struct StartOutcome
{
    DialogAction action = DialogAction::EndFailed;
    DWORD status = 0;
    std::wstring lastMessage;
    std::atomic<bool> started{false}; // a connect worker of this dialog's runs
};

// One run of the dialog; it travels with the dialog.
struct ConnectingState
{
    bool disconnect = false;
    HINSTANCE instance = nullptr;
    std::wstring name; // connect mode: the URL to connect for
    std::shared_ptr<CWorkerTask> task;
    std::shared_ptr<StartOutcome> outcome;
    bool ended = false;
};

// The dialog's start, on its worker: the checks, and the connect or the hang-ups.
void RunStart(HWND dialog, bool disconnect, const std::wstring& name, StartOutcome& out, const CWorkerTask& task)
{
    CConnectionWork work;
    if (!work.Held()) {
        out.action = DialogAction::ReportBusy; // an earlier call never returned
        return;
    }
    if (task.Cancelled()) {
        return;
    }
    if (!disconnect) {
        SetConnectionName(name.c_str());
    }
    const bool exists = ConnectionExists();
    const int verdict = exists ? 0 : g_connection.CheckAvailable(g_szConnectionName, &out.status);
    out.action = DecideDialogStart(disconnect, exists, verdict);
    switch (out.action) {
    case DialogAction::ReportCheckFailure:
        out.lastMessage = g_connection.GetLastMessage();
        break;
    case DialogAction::Connect:
        if (task.Cancelled()) {
            out.action = DialogAction::EndFailed;
        } else if (!g_connection.Connect(dialog, g_szConnectionName, WM_TAVRIN_CONNECTED, WM_TAVRIN_CONNECT_ENDED)) {
            out.action = DialogAction::ReportConnectFailure;
        } else {
            out.started = true;
            out.action = DialogAction::AwaitEnd;
            if (task.Cancelled()) {
                g_connection.CancelAttempt(); // "中断" came while the worker was being started
            }
        }
        break;
    case DialogAction::HangUp:
        g_connection.Abort(nullptr, -1); // no message: the hang-ups' outcome ends the dialog
        out.action = DecideAfterHangUp(g_connection.Disconnect());
        break;
    default:
        break;
    }
}

void EndWith(HWND dialog, INT_PTR result)
{
    PostMessageW(dialog, WM_CLOSE, static_cast<WPARAM>(result), 0);
}

void EndAs(HWND dialog, DialogAction action)
{
    if (action == DialogAction::EndDone) {
        EndWith(dialog, kDone);
    } else if (action == DialogAction::EndFailed) {
        EndWith(dialog, kFailed);
    }
}

// The worker's findings, back on the user-interface thread: every box is shown here.
void OnStartDone(HWND dialog, const ConnectingState& state)
{
    const StartOutcome& out = *state.outcome;
    switch (out.action) {
    case DialogAction::ReportCheckFailure:
        ShowErrorBox(dialog, Text(IDS_CONNECT_CHECK_FAILED, {out.lastMessage, HexText(out.status)}));
        EndWith(dialog, kFailed);
        break;
    case DialogAction::ReportConnectFailure:
        ShowErrorBox(dialog, Text(IDS_CONNECT_FAILED));
        EndWith(dialog, kFailed);
        break;
    case DialogAction::ReportBusy:
        ShowErrorBox(dialog, ConnectionBusyText());
        EndWith(dialog, kFailed);
        break;
    case DialogAction::ReportLineStillUp:
        ShowErrorBox(dialog, Text(IDS_HANGUP_FAILED));
        EndWith(dialog, kFailed);
        break;
    default:
        EndAs(dialog, out.action);
        break;
    }
}

// The user leaves, or the dialog is taken down with its owner: the attempt stops.
void GiveUp(ConnectingState& state)
{
    if (state.ended) {
        return;
    }
    state.ended = true;
    if (state.task) {
        state.task->Abandon();
    }
    // Only a worker this dialog started: one that holds an earlier connection stays.
    if (state.outcome && state.outcome->started) {
        g_connection.CancelAttempt();
    }
}

void InitDialog(HWND dialog, ConnectingState& state)
{
    SetUpFullScreenDialog(dialog);
    if (state.disconnect) {
        SetProgressText(dialog, Text(IDS_PROGRESS_DISCONNECTING), Text(IDS_DISCONNECTING));
    } else {
        SetProgressText(dialog, Text(IDS_PROGRESS_CONNECTING), Text(IDS_CONNECTING_TO, {state.name}));
    }
    state.outcome = std::make_shared<StartOutcome>();
    auto outcome = state.outcome;
    const bool disconnect = state.disconnect;
    const std::wstring name = state.name;
    state.task =
        CWorkerTask::Start(dialog, WM_TAVRIN_TASK_DONE, [dialog, disconnect, name, outcome](const CWorkerTask& task) {
            RunStart(dialog, disconnect, name, *outcome, task);
        });
    if (!state.task) {
        EndWith(dialog, kFailed);
    }
}

INT_PTR CALLBACK ConnectingDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        InitDialog(dialog, *reinterpret_cast<ConnectingState*>(lParam));
        return TRUE;
    }
    auto* state = reinterpret_cast<ConnectingState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (state == nullptr) {
        return FALSE;
    }
    switch (message) {
    case WM_SIZE:
        RelayoutFromTemplate(state->instance, dialog, IDD_PROGRESS);
        return FALSE;
    case WM_CLOSE: {
        // A close from the window frame carries no result: it counts as an abort.
        INT_PTR result = LOWORD(wParam) != 0 ? LOWORD(wParam) : kFailed;
        if (result != kDone) {
            GiveUp(*state);
        }
        state->ended = true;
        EndDialog(dialog, result);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) {
            GiveUp(*state);
            EndWith(dialog, kFailed);
            return TRUE;
        }
        return FALSE;
    case WM_TAVRIN_TASK_DONE:
        if (!state->ended && state->task && state->task->Is(lParam)) {
            OnStartDone(dialog, *state);
        }
        return TRUE;
    case WM_TAVRIN_CONNECTED:
    case WM_TAVRIN_CONNECT_ENDED:
        if (!state->ended) {
            EndAs(dialog, DecideOnWorkerMessage(state->disconnect, message == WM_TAVRIN_CONNECTED));
        }
        return TRUE;
    case WM_DESTROY:
        GiveUp(*state);
        return FALSE;
    default:
        return FALSE;
    }
}

INT_PTR RunProgressDialog(ConnectingState& state, HWND parent)
{
    INT_PTR result = RunDialogFromTemplate(state.instance, IDD_PROGRESS, parent, ConnectingDlgProc,
                                           reinterpret_cast<LPARAM>(&state));
    return result == -1 || result == 0 ? kFailed : result;
}

} // namespace

NetworkState CheckNetworkState(const wchar_t* url)
{
    CConnectionWork work;
    if (!work.Held()) {
        return NetworkState::Busy;
    }
    SetConnectionName(url);
    return g_connection.CheckAvailable(url, nullptr) == 1 ? NetworkState::Usable : NetworkState::NotUsable;
}

bool IsNetworkAvailable(const wchar_t* url)
{
    return CheckNetworkState(url) == NetworkState::Usable;
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
        // Every caller passes a checked service URL, far shorter than this.
        ShowErrorBox(parent, Text(IDS_CONNECT_FAILED));
        return kFailed;
    }
    ConnectingState state;
    state.instance = instance;
    state.name = url;
    return RunProgressDialog(state, parent);
}

INT_PTR RunDisconnectDialog(HINSTANCE instance, HWND parent)
{
    ConnectingState state;
    state.disconnect = true;
    state.instance = instance;
    return RunProgressDialog(state, parent);
}

void ShutDownConnection(DWORD waitMs)
{
    // Stopping the worker needs no connection work: a check or a dialog's start stuck in a
    // platform call does not keep the connection up after the exit.
    g_connection.StopWithin(waitMs);
}
