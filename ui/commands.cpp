#include "ui/commands.h"

#include "acquisition/acquire_dialog.h"
#include "acquisition/acquire_logic.h"
#include "acquisition/cs_id.h"
#include "common/deadline.h"
#include "common/message_box.h"
#include "common/system_library_win.h"
#include "network/connecting_dialog.h"
#include "network/location_service.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "ui/app_state.h"
#include "ui/command_logic.h"
#include "ui/list_editor.h"

#include <shellapi.h>

#include <string>
#include <vector>

// The last value of each acquisition mode; a send can repeat without a new acquisition.
std::wstring g_strCsId;
std::wstring g_strSimpleCoords;

namespace {

constexpr UINT_PTR kConnectButtonTimer = 100;

const wchar_t kCaptionConfirm[] = L"確認";
const wchar_t kCaptionWarning[] = L"警告";
const wchar_t kCaptionError[] = L"Error";

void Warn(HWND window, const wchar_t* text)
{
    ShowMessageBox(window, text, kCaptionWarning, MB_OK | MB_ICONEXCLAMATION);
}

// Every log line rewrites all controls from the record, so callers read the controls
// back first (Exchange(false)) or the user's unsaved changes on screen are lost. The text
// and its line end go in with one rewrite: the log field takes milliseconds to refill.
void AppendLogLine(const std::wstring& text)
{
    AppendToLog(g_settings.m_strLog, text + L"\r\n");
    g_settings.Exchange(true);
}

void LaunchBrowser(const std::wstring& url)
{
    std::wstring file;
    if (!g_settings.GetSelectedBrowserFile(file) || file.empty()) {
        return;
    }
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = nullptr;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = url.c_str();
    info.lpDirectory = nullptr;
    info.nShow = SW_SHOWNORMAL;
    // No error interface and no wait: the browser lives on its own.
    ShellExecuteExW(&info);
}

bool OnGetLocation(HWND window)
{
    if (ConnectionExists()) {
        if (ShowMessageBox(window, L"接続中です。切断してもよろしいですか？", kCaptionConfirm, MB_YESNO) != IDYES) {
            return false;
        }
        if (RunDisconnectDialog(g_hInstance, window) == 2) {
            return false;
        }
    }
    g_settings.Exchange(false);
    g_csId.SetDeviceName(ModuleDeviceName(g_settings.m_port));
    // The send that usually follows finds its libraries loaded while the W-SIM answers:
    // the dialog's message loop delivers this once the command is on its way.
    PostMessageW(window, WM_TAVRIN_PRELOAD, LibrariesForSend(g_settings.m_bLocateEasy, g_settings.m_bAutoBrowser), 0);
    const std::wstring* obtained;
    if (g_settings.m_bLocateEasy) {
        if (ShowSimpleCoordinatesDialog(g_hInstance, window) != 1) {
            return false;
        }
        g_strSimpleCoords = g_strLocation;
        obtained = &g_strSimpleCoords;
    } else {
        if (ShowCsIdDialog(g_hInstance, window) != 1) {
            return false;
        }
        g_strCsId = g_strLocation;
        obtained = &g_strCsId;
    }
    AppendLogLine(*obtained);
    return true;
}

LRESULT OnSend(HWND window)
{
    g_settings.Exchange(false);
    if (g_settings.m_bLocateEasy && g_strSimpleCoords.empty()) {
        Warn(window, L"簡易座標を取得してください。");
        return 0;
    }
    if (!g_settings.m_bLocateEasy && g_strCsId.empty()) {
        Warn(window, L"CS-IDを取得してください。");
        return 0;
    }
    std::wstring url;
    if (!g_settings.GetSelectedUrl(url)) {
        Warn(window, L"送信先のURLを指定してください。");
        return 0;
    }
    std::wstring format;
    g_settings.GetSelectedFormat(format); // an empty format keeps the template in force
    g_settings.Exchange(false);
    if (!RequireSystemLibraries(LibrariesForSend(g_settings.m_bLocateEasy, g_settings.m_bAutoBrowser), window)) {
        return 0;
    }

    // Both modes connect for the lookup service's network, as the handset always has.
    const std::wstring& serviceUrl = g_locationService.UseService(g_settings.m_serviceUrl);
    if (g_settings.m_bAutoConnect && !IsNetworkAvailable(serviceUrl.c_str())) {
        if (RunConnectDialog(g_hInstance, window, serviceUrl.c_str()) == 2) {
            return 0;
        }
    }
    g_settings.Exchange(false);

    std::wstring expandedUrl;
    std::wstring position;
    bool ok;
    if (g_settings.m_bLocateEasy) {
        ok = g_locationService.ExpandFromSimpleCoordinates(url.c_str(), format.c_str(), g_strSimpleCoords, expandedUrl,
                                                           position);
    } else {
        std::wstring body;
        ok = g_locationService.ExpandFromCsId(url.c_str(), format.c_str(), g_strCsId, body, expandedUrl, position);
    }
    if (!ok) {
        ShowMessageBox(window, L"位置情報の取得に失敗しました。", kCaptionError, MB_OK | MB_ICONERROR);
        return 0;
    }
    AppendLogLine(position);
    g_settings.Exchange(false);
    if (g_settings.m_bAutoBrowser) {
        LaunchBrowser(expandedUrl);
    }
    return 0;
}

// Waits without dispatching: the window stays unresponsive, as the handset's did, but the
// queue is peeked so the system does not take the program for hung.
void WaitBeforeSend(std::uint32_t waitMs)
{
    const std::uint32_t start = GetTickCount();
    while (StillWaiting(start, GetTickCount(), waitMs)) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
        Sleep(1);
    }
}

LRESULT OnGetAndSend(HWND window)
{
    if (!OnGetLocation(window)) {
        return 0;
    }
    g_settings.Exchange(false);
    const std::uint32_t waitMs =
        ConnectWaitMilliseconds(g_settings.m_bAutoConnect, static_cast<long>(g_settings.m_nConnectWait));
    if (waitMs != 0) {
        WaitBeforeSend(waitMs);
    }
    return OnSend(window);
}

LRESULT OnConnect(HWND window)
{
    if (ConnectionExists()) {
        RunDisconnectDialog(g_hInstance, window);
        return 0;
    }
    const std::wstring& serviceUrl = g_locationService.UseService(g_settings.m_serviceUrl);
    if (!IsNetworkAvailable(serviceUrl.c_str())) {
        RunConnectDialog(g_hInstance, window, serviceUrl.c_str());
    }
    return 0;
}

// The list editor works on a copy; the list and its index change only after OK.
void EditList(HWND window, std::vector<CListEntry>& list, int kind, int& index)
{
    ResetListEditor();
    if (RunListEditor(g_hInstance, window, list, kind, index) != 1) {
        return;
    }
    GetEditedList(list);
    const int selection = g_nEditorSelection;
    if (selection >= 0 && static_cast<size_t>(selection) < list.size()) {
        index = selection;
    }
    g_settings.Exchange(true);
}

LRESULT OnEditUrlList(HWND window)
{
    std::wstring ignored;
    g_settings.GetSelectedUrl(ignored); // takes the combo's selection into m_nUrlIndex
    EditList(window, g_settings.GetUrlList(), 0, g_settings.m_nUrlIndex);
    return 0;
}

LRESULT OnEditBrowserList(HWND window)
{
    std::wstring ignored;
    g_settings.GetSelectedBrowserFile(ignored);
    EditList(window, g_settings.GetBrowserList(), 1, g_settings.m_nBrowserIndex);
    return 0;
}

} // namespace

LRESULT OnControlCommand(HWND window, WPARAM wParam, LPARAM /*lParam*/)
{
    switch (ControlCommandFromId(LOWORD(wParam))) {
    case ControlCommand::Ignore:
        return 0;
    case ControlCommand::GetLocation:
        OnGetLocation(window);
        return 0;
    case ControlCommand::Send:
        return OnSend(window);
    case ControlCommand::Connect:
        return OnConnect(window);
    case ControlCommand::GetAndSend:
        OnGetAndSend(window);
        return 0;
    case ControlCommand::EditUrlList:
        return OnEditUrlList(window);
    case ControlCommand::EditBrowserList:
        return OnEditBrowserList(window);
    case ControlCommand::Default:
        break;
    }
    return -1;
}

LRESULT OnTimer(HWND window, UINT_PTR timerId)
{
    if (timerId != kConnectButtonTimer) {
        return 0;
    }
    HWND button = GetDlgItem(window, IDC_CONNECT);
    wchar_t current[100] = {};
    GetWindowTextW(button, current, 100);
    const wchar_t* wanted = ConnectionExists() ? L"切断" : L"接続";
    if (wcscmp(current, wanted) != 0) {
        SetWindowTextW(button, wanted);
    }
    return 0;
}
