#include "ui/main_window.h"

#include "acquisition/acquire_logic.h"
#include "acquisition/cs_id.h"
#include "acquisition/module_setting.h"
#include "common/deadline.h"
#include "common/message_box.h"
#include "common/system_library_win.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "ui/app_state.h"
#include "ui/command_logic.h"
#include "ui/commands.h"
#include "ui/connecting_dialog.h"
#include "ui/dialog_frame.h"
#include "ui/dialog_template.h"
#include "ui/file_chooser.h"
#include "ui/fix_dialog.h"
#include "ui/port_opening.h"
#include "ui/position_cache.h"
#include "ui/progress_dialog.h"
#include "ui/settings_dialog.h"

#include <memory>
#include <vector>

HWND g_hWndMenuBar = nullptr;
SHACTIVATEINFO g_activateInfo{};

namespace {

const UINT_PTR kCaptionTimer = 100;
HWND g_mainWindow = nullptr;

// What is on the port shows on the window: the simple-coordinates box belongs to the W-SIM
// alone, and is greyed for anything else; a change from the W-SIM (at start-up too) and every
// change after it is said in the log.
ModuleKind g_shownModule = ModuleKind::WSim;

void ShowModule(HWND window)
{
    const ModuleKind module = ModuleFromSetting(g_settings.m_module);
    EnableWindow(GetDlgItem(window, IDC_LOCATE_EASY), module == ModuleKind::WSim);
    if (module != g_shownModule) {
        g_shownModule = module;
        LogLine(ModuleChosenText(module, ModuleDeviceName(g_settings.m_port)));
    }
}

// The menu's three choices of what is on the port.
ModuleKind ModuleFromMenu(WORD id)
{
    return id == IDM_MODULE_NMEA ? ModuleKind::Nmea : id == IDM_MODULE_MODEM ? ModuleKind::Modem : ModuleKind::WSim;
}

UINT MenuOfModule(ModuleKind module)
{
    switch (module) {
    case ModuleKind::Nmea:
        return IDM_MODULE_NMEA;
    case ModuleKind::Modem:
        return IDM_MODULE_MODEM;
    case ModuleKind::WSim:
        break;
    }
    return IDM_MODULE_WSIM;
}

void ShowAboutBox(HWND window)
{
    RunDialogFromTemplate(g_hInstance, IDD_ABOUT, window, AboutDlgProc);
}

// A settings file that did not load or save is said, with the file and the reason; the
// settings in use stay as they were.
void ShowFileFailure(HWND window, bool saving, const wchar_t* path)
{
    ShowMessageBox(window,
                   SettingsFileFailureText(saving, path, g_settings.LastFailure(), g_settings.LastFailureCode()),
                   L"Error", MB_OK | MB_ICONERROR);
}

} // namespace

HWND MainWindow()
{
    return g_mainWindow;
}

ATOM RegisterMainClass(HINSTANCE instance, const wchar_t* className)
{
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TAVRIN));
    // The handset shows no pointer; a desktop mouse needs one.
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className;
    return static_cast<ATOM>(RegisterClassW(&wc) & 0xFFFF);
}

BOOL InitInstance(HINSTANCE instance, int showCommand)
{
    g_hInstance = instance;
    // No SHInitExtraControls here: on the desktop it loads the common controls, which only
    // the list editor uses, and it registers its list view itself when it opens.

    wchar_t title[100] = {};
    wchar_t className[100] = {};
    LoadStringW(instance, IDS_APP_TITLE, title, 100);
    LoadStringW(instance, IDS_WINDOW_CLASS, className, 100);

    if (HWND running = FindWindowW(className, title)) {
        // Its open dialog, if any, comes forward with it.
        SetForegroundWindow(GetLastActivePopup(running));
        return FALSE;
    }
    if (RegisterMainClass(instance, className) == 0) {
        return FALSE;
    }
    // Made hidden and shown once, complete: a window shown while it is placed and built draws
    // its frame at every step, and under Wine every frame drawn measures the caption and menu
    // fonts again (with a full Japanese font that is most of the difference to the floor).
    HWND window = CreateWindowExW(0, className, title, WS_OVERLAPPED, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return FALSE;
    }
    g_mainWindow = window;
    // The handset gives a default-sized window the whole screen above its soft-key bar; the
    // desktop must be told, in one move.
    SHMoveToWorkArea(window, g_hWndMenuBar);
    CreateMainWindowControls(window);
    g_settings.m_hInstance = instance;
    g_settings.m_hWnd = window;
    g_settings.LoadDefault();
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    // Without a default file the presets are simply in use; any other failure is said.
    if (g_settings.LastFailure() != FileFailure::None && g_settings.LastFailure() != FileFailure::NotFound) {
        ShowFileFailure(window, false, g_settings.m_szIniPath);
    }
    g_settings.Exchange(false);
    ShowModule(window);
    SetPositionCacheReport(LogLine);
    if (g_settings.m_bStartupAll) {
        PostMessageW(window, WM_COMMAND, IDC_GET_AND_SEND, 0);
    }
    return TRUE;
}

int RunMessageLoop(HACCEL accelerators)
{
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        // Keys go to the focused control; the accelerators' commands belong to the main window.
        HWND target = g_mainWindow != nullptr ? g_mainWindow : msg.hwnd;
        if (accelerators == nullptr || !TranslateAcceleratorW(target, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

LRESULT OnOpenSettings(HWND window)
{
    FileRequest request;
    PrepareFileRequest(&request, window, g_settings.m_szIniPath, L"設定ファイルの選択", kSettingsFileFilter,
                       kOpenFileFlags);
    if (ShowOpenFileDialog(&request.record) && !g_settings.Load(request.record.lpstrFile)) {
        ShowFileFailure(window, false, request.record.lpstrFile);
    }
    ShowModule(window);
    return 0;
}

LRESULT OnSaveSettings(HWND window)
{
    FileRequest request;
    PrepareFileRequest(&request, window, g_settings.m_szIniPath, L"設定ファイルの保存", kSettingsFileFilter,
                       kSaveFileFlags);
    if (!ShowSaveFileDialog(&request.record)) {
        return 0;
    }
    // The file is written on a worker: a slow card does not hold the window.
    struct Writing
    {
        std::wstring path;
        std::vector<unsigned char> bytes;
        bool ok = false;
        FileFailure failure = FileFailure::None;
        unsigned code = 0;
    };
    auto writing = std::make_shared<Writing>();
    writing->path = request.record.lpstrFile;
    if (writing->path.size() >= CSettings::kPathChars) {
        ShowMessageBox(window, SettingsFileFailureText(true, writing->path, FileFailure::NotFound, 0), L"Error",
                       MB_OK | MB_ICONERROR);
        return 0;
    }
    writing->bytes = g_settings.SaveBytes();
    ProgressRequest save;
    save.caption = L"待機中…";
    save.text = L"設定ファイルを保存しています。";
    save.showAfterMs = 300;
    save.work = [writing](const CWorkerTask&) {
        auto files = NewWin32FileStore();
        writing->ok = files->ReplaceAll(writing->path.c_str(), writing->bytes);
        writing->failure = files->LastFailure();
        writing->code = files->LastFailureCode();
    };
    if (RunProgress(g_hInstance, window, save) != ProgressEnd::Done) {
        return 0; // the window went away
    }
    if (writing->ok) {
        g_settings.Saved(writing->path.c_str());
    } else {
        ShowMessageBox(window, SettingsFileFailureText(true, writing->path, writing->failure, writing->code), L"Error",
                       MB_OK | MB_ICONERROR);
    }
    return 0;
}

LRESULT OnSettingsScreen(HWND window, bool searchAtOnce)
{
    // What the window shows now is what the screen starts from, and what it shows again after.
    g_settings.Exchange(false);
    const std::wstring port = ModuleDeviceName(g_settings.m_port);
    if (RunSettingsDialog(g_hInstance, window, g_settings, searchAtOnce)) {
        g_settings.Exchange(true);
        const ModuleKind module = g_shownModule;
        ShowModule(window);
        // Another port for the same module is said as another module is.
        if (g_shownModule == module && ModuleDeviceName(g_settings.m_port) != port) {
            LogLine(ModuleChosenText(module, ModuleDeviceName(g_settings.m_port)));
        }
    }
    return 0;
}

LRESULT OnClearCache(HWND window)
{
    if (ShowMessageBox(window, L"キャッシュを消去しますか？", L"確認", MB_YESNO) != IDYES) {
        return 0;
    }
    // The entries go at once; the file is deleted on a worker (a slow card must not hold the window).
    struct Deletion
    {
        std::wstring path;
        bool ok = true;
        FileFailure failure = FileFailure::None;
        unsigned code = 0;
    };
    auto deletion = std::make_shared<Deletion>();
    deletion->path = ClearPositionCache();
    ProgressRequest remove;
    remove.caption = L"待機中…";
    remove.text = L"キャッシュを消去しています。";
    remove.showAfterMs = 300;
    remove.work = [deletion](const CWorkerTask&) {
        deletion->ok = DeleteCacheFile(deletion->path, deletion->failure, deletion->code);
    };
    if (RunProgress(g_hInstance, window, remove) == ProgressEnd::Done && !deletion->ok) {
        ShowMessageBox(window, CacheClearFailureText(deletion->path, deletion->failure, deletion->code), L"Error",
                       MB_OK | MB_ICONERROR);
    }
    return 0;
}

void ShutDown()
{
    // The W-SIM's port and the device's (its formats put back first) close within a bound each,
    // a cache write on its way gets 0.5 s, the connection's worker what is left of 4 s in all.
    // Nothing here waits for a platform call that never returns.
    constexpr DWORD kShutDownMs = 4000;
    constexpr DWORD kDeviceReleaseMs = 2500;
    const DWORD start = GetTickCount();
    SetPositionCacheReport(nullptr); // the log is gone
    g_csId.ClosePort(false);
    CloseFixPort();
    FinishPortReleases(RemainingWait(start, GetTickCount(), kDeviceReleaseMs));
    FinishPositionCacheWrites(500);
    ShutDownConnection(RemainingWait(start, GetTickCount(), kShutDownMs));
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        SHMENUBARINFO info{};
        info.cbSize = sizeof(info);
        info.hwndParent = window;
        info.nToolBarId = IDR_MENUBAR;
        info.hInstRes = g_hInstance;
        g_hWndMenuBar = SHCreateMenuBar(&info) ? info.hwndMB : nullptr;
        g_activateInfo = SHACTIVATEINFO{};
        g_activateInfo.cbSize = sizeof(g_activateInfo);
        SetTimer(window, kCaptionTimer, 1000, nullptr);
        return 0;
    }
    case WM_DESTROY:
        if (g_hWndMenuBar != nullptr) {
            DestroyWindow(g_hWndMenuBar);
            g_hWndMenuBar = nullptr;
        }
        if (window == g_mainWindow) {
            g_mainWindow = nullptr;
        }
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        SHHandleWMActivate(window, wParam, lParam, &g_activateInfo, 0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_CLOSE:
        KillTimer(window, kCaptionTimer);
        break;
    case WM_SETTINGCHANGE:
        SHHandleWMSettingChange(window, wParam, lParam, &g_activateInfo);
        return 0;
    case WM_KEYDOWN:
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDM_OPEN:
            return CommandRunning() ? 0 : OnOpenSettings(window);
        case IDM_SAVE:
            return CommandRunning() ? 0 : OnSaveSettings(window);
        case IDM_SETTINGS:
            return CommandRunning() ? 0 : OnSettingsScreen(window);
        case IDM_EXIT:
            PostMessageW(window, WM_CLOSE, 0, 0);
            return 0;
        case IDM_ABOUT:
            ShowAboutBox(window);
            return 0;
        case IDM_CACHE_USE:
            // Kept in the record like the check boxes: "保存" writes it.
            g_settings.m_lookupCache = !g_settings.m_lookupCache.value_or(false);
            return 0;
        case IDM_CACHE_CLEAR:
            return CommandRunning() ? 0 : OnClearCache(window);
        case IDM_MODULE_WSIM:
        case IDM_MODULE_NMEA:
        case IDM_MODULE_MODEM: {
            if (CommandRunning()) {
                return 0;
            }
            // Kept in the record like the check boxes: "保存" writes it.
            const ModuleKind chosen = ModuleFromMenu(LOWORD(wParam));
            g_settings.m_module = ModuleSettingText(chosen);
            ShowModule(window);
            return 0;
        }
        default: {
            LRESULT result = OnControlCommand(window, wParam, lParam);
            if (result < 0) {
                break;
            }
            return result;
        }
        }
        break;
    case WM_TIMER:
        return OnTimer(window, wParam);
    case WM_INITMENUPOPUP:
        CheckMenuItem(reinterpret_cast<HMENU>(wParam), IDM_CACHE_USE,
                      MF_BYCOMMAND | (g_settings.m_lookupCache.value_or(false) ? MF_CHECKED : MF_UNCHECKED));
        CheckMenuRadioItem(reinterpret_cast<HMENU>(wParam), IDM_MODULE_WSIM, IDM_MODULE_MODEM,
                           MenuOfModule(ModuleFromSetting(g_settings.m_module)), MF_BYCOMMAND);
        return 0;
    case WM_TAVRIN_SEARCH_PORTS:
        return CommandRunning() ? 0 : OnSettingsScreen(window, true);
    case WM_TAVRIN_PRELOAD:
        PreloadSystemLibraries(static_cast<unsigned>(wParam));
        if (lParam != 0) {
            LoadPositionCache();
        }
        return 0;
    case WM_CTLCOLORSTATIC:
        // Labels and check boxes on the window's own colour, as the handset draws them.
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
