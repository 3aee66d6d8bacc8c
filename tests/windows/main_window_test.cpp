// ctest-lock: desktop
#include "platform/aygshell.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "tests/windows/test_support.h"
#include "ui/app_state.h"
#include "ui/dialog_template.h"
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_chooser = ExeFolder() + L"\\chooser";
        DeleteFileW((m_chooser + L"\\gsgetfile.log").c_str());
        DeleteFileW((m_chooser + L"\\gsgetfile.answer").c_str());
        SetDllDirectoryW(m_chooser.c_str());
        ASSERT_FALSE(Exists(DefaultIni())) << "the test needs the presets";
        ASSERT_TRUE(InitInstance(GetModuleHandleW(nullptr), SW_SHOW));
        m_window = MainWindow();
        ASSERT_NE(nullptr, m_window);
    }

    void TearDown() override
    {
        DestroyMainWindow(m_window);
        SetDllDirectoryW(nullptr);
    }

    std::wstring DefaultIni() const { return ExeFolder() + L"\\default.ini"; }
    std::wstring Log() const { return ReadUtf16(m_chooser + L"\\gsgetfile.log"); }
    void Answer(const std::wstring& path) const { WriteUtf16(m_chooser + L"\\gsgetfile.answer", path); }
    HWND Item(int id) const { return GetDlgItem(m_window, id); }

    std::wstring m_chooser;
    HWND m_window = nullptr;
};

// Presses Ctrl+key as the message loop sees it, addressed to `control`.
void PostCtrlKey(HWND control, WORD key)
{
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = 0x80;
    SetKeyboardState(state);
    PostMessageW(control, WM_KEYDOWN, key, 1);
}

void ReleaseCtrl()
{
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = 0;
    SetKeyboardState(state);
}

bool g_aboutSeen = false;

void CALLBACK CloseAbout(HWND, UINT, UINT_PTR timer, DWORD)
{
    HWND about = FindWindowW(L"#32770", L"バージョン情報 tavrin");
    if (about == nullptr) {
        return;
    }
    KillTimer(nullptr, timer);
    g_aboutSeen = GetWindow(about, GW_OWNER) == MainWindow();
    PostMessageW(about, WM_COMMAND, IDOK, 0);
    PostQuitMessage(7);
}

} // namespace

TEST_F(MainWindowTest, FillsTheScreenAboveTheSoftKeysWithControlsAndPresets)
{
    wchar_t name[32] = {};
    GetClassNameW(m_window, name, 32);
    EXPECT_STREQ(L"TAVRIN", name);
    EXPECT_EQ(L"tavrin", TextOf(m_window));
    ASSERT_NE(nullptr, g_hWndMenuBar);

    RECT area, window, bar;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    GetWindowRect(m_window, &window);
    GetWindowRect(g_hWndMenuBar, &bar);
    EXPECT_EQ(area.left, window.left);
    EXPECT_EQ(area.top, window.top);
    EXPECT_EQ(area.right, window.right);
    EXPECT_EQ(bar.top, window.bottom);
    EXPECT_EQ(area.bottom, bar.bottom);

    EXPECT_EQ(19u, g_controlList.size());
    EXPECT_EQ(Item(IDC_URL_COMBO), GetFocus());
    EXPECT_GT(SendMessageW(Item(IDC_URL_COMBO), CB_GETCOUNT, 0, 0), 0);
    EXPECT_GT(SendMessageW(Item(IDC_BROWSER_COMBO), CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(m_window, static_cast<HWND>(g_settings.m_hWnd));
    EXPECT_EQ(DefaultIni(), std::wstring(g_settings.m_szIniPath));
}

// What start-up does to the main window, seen from its own messages: a window that is visible
// while it is placed or built draws its frame at each step (under Wine every frame drawn makes
// and measures the caption and menu fonts again).
namespace {

struct StartUpSeen
{
    int shows = 0;
    int visibleMoves = 0;
    bool builtWhenShown = false;
};
StartUpSeen g_startUp;

LRESULT CALLBACK WatchStartUp(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
    wchar_t name[32] = {};
    if (code == HC_ACTION && GetClassNameW(call->hwnd, name, 32) > 0 && std::wstring(name) == L"TAVRIN") {
        if (call->message == WM_SHOWWINDOW && call->wParam != 0) {
            ++g_startUp.shows;
            HWND urls = GetDlgItem(call->hwnd, IDC_URL_COMBO);
            g_startUp.builtWhenShown = urls != nullptr && SendMessageW(urls, CB_GETCOUNT, 0, 0) > 0;
        }
        if (call->message == WM_WINDOWPOSCHANGING && IsWindowVisible(call->hwnd)) {
            const auto* pos = reinterpret_cast<const WINDOWPOS*>(call->lParam);
            if ((pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE)) {
                ++g_startUp.visibleMoves;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

TEST(MainWindowStartUp, ShowsTheWindowOnceBuiltFilledAndPlaced)
{
    g_startUp = StartUpSeen{};
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchStartUp, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    const BOOL started = InitInstance(GetModuleHandleW(nullptr), SW_SHOW);
    UnhookWindowsHookEx(hook);
    HWND window = MainWindow();
    ASSERT_TRUE(started);
    EXPECT_EQ(1, g_startUp.shows);
    EXPECT_TRUE(g_startUp.builtWhenShown);
    EXPECT_EQ(0, g_startUp.visibleMoves);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetDlgItem(window, IDC_URL_COMBO), GetFocus());
    DestroyMainWindow(window);
}

TEST_F(MainWindowTest, CtrlKeysReachTheMainWindowFromAnyControl)
{
    PostCtrlKey(Item(IDC_LOG), 'O');
    PostQuitMessage(7);
    EXPECT_EQ(7, RunMessageLoop(LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDA_MAIN))));
    EXPECT_NE(std::wstring::npos, Log().find(L"call=open\n")) << "Ctrl+O from the log";

    PostCtrlKey(Item(IDC_GET_LOCATION), 'S');
    PostQuitMessage(7);
    EXPECT_EQ(7, RunMessageLoop(LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDA_MAIN))));
    EXPECT_NE(std::wstring::npos, Log().find(L"call=save\n")) << "Ctrl+S from a button";

    g_aboutSeen = false;
    SetTimer(nullptr, 0, 50, CloseAbout);
    PostCtrlKey(Item(IDC_URL_COMBO), 'A');
    EXPECT_EQ(7, RunMessageLoop(LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDA_MAIN))));
    EXPECT_TRUE(g_aboutSeen) << "Ctrl+A from the URL list opens the about box over the main window";

    PostCtrlKey(Item(IDC_CONNECT_WAIT), 'Q');
    EXPECT_EQ(0, RunMessageLoop(LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDA_MAIN))));
    EXPECT_FALSE(IsWindow(m_window)) << "Ctrl+Q from the wait field quits";
    ReleaseCtrl();
}

TEST_F(MainWindowTest, SaveAndOpenGoThroughTheChooserWithTheSettingsRequests)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"tavrin_main_window";
    CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring saved = folder + L"\\saved.ini";
    DeleteFileW(saved.c_str());

    SendMessageW(Item(IDC_AUTO_CONNECT), BM_SETCHECK, BST_CHECKED, 0);
    SetWindowTextW(Item(IDC_CONNECT_WAIT), L"4321");
    Answer(saved);
    SendMessageW(m_window, WM_COMMAND, IDM_SAVE, 0);
    ASSERT_TRUE(Exists(saved));
    std::wstring save = Log();
    EXPECT_NE(std::wstring::npos, save.find(L"call=save\n"));
    EXPECT_NE(std::wstring::npos, save.find(L"title=設定ファイルの保存\n"));
    EXPECT_NE(std::wstring::npos, save.find(L"filter=設定ファイル (*.ini)|*.ini;全てのファイル (*.*)|*.*\n"));
    EXPECT_NE(std::wstring::npos, save.find(L"index=1\nflags=0x1006\nmax=260\n"));
    EXPECT_NE(std::wstring::npos, save.find(L"dir=" + ExeFolder() + L"\nfile=default.ini\n")) << save;

    SendMessageW(Item(IDC_AUTO_CONNECT), BM_SETCHECK, BST_UNCHECKED, 0);
    SetWindowTextW(Item(IDC_CONNECT_WAIT), L"0");
    DeleteFileW((m_chooser + L"\\gsgetfile.answer").c_str());
    SendMessageW(m_window, WM_COMMAND, IDM_OPEN, 0);
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(Item(IDC_AUTO_CONNECT), BM_GETCHECK, 0, 0)) << "cancel loads nothing";

    DeleteFileW((m_chooser + L"\\gsgetfile.log").c_str());
    Answer(saved);
    SendMessageW(m_window, WM_COMMAND, IDM_OPEN, 0);
    EXPECT_EQ(BST_CHECKED, SendMessageW(Item(IDC_AUTO_CONNECT), BM_GETCHECK, 0, 0));
    EXPECT_EQ(L"4321", TextOf(Item(IDC_CONNECT_WAIT)));
    std::wstring open = Log();
    EXPECT_NE(std::wstring::npos, open.find(L"title=設定ファイルの選択\n"));
    EXPECT_NE(std::wstring::npos, open.find(L"flags=0x1004\n"));
    // The saved file is now the current one.
    EXPECT_NE(std::wstring::npos, open.find(L"dir=" + folder + L"\nfile=saved.ini\n")) << open;
}

TEST_F(MainWindowTest, LeftSoftKeyQuitsWithoutWritingTheSettings)
{
    SendMessageW(Item(IDC_AUTO_BROWSER), BM_SETCHECK, BST_UNCHECKED, 0);
    RECT key;
    ASSERT_TRUE(SHMenuBarButtonRect(g_hWndMenuBar, 0, &key));
    POINT centre{(key.left + key.right) / 2, (key.top + key.bottom) / 2};
    ScreenToClient(g_hWndMenuBar, &centre);
    PostMessageW(g_hWndMenuBar, WM_LBUTTONUP, 0, MAKELPARAM(centre.x, centre.y));
    EXPECT_EQ(0, RunMessageLoop(nullptr));
    EXPECT_FALSE(IsWindow(m_window));
    EXPECT_FALSE(IsWindow(g_hWndMenuBar));
    EXPECT_FALSE(Exists(DefaultIni()));
}

TEST_F(MainWindowTest, TabKeyThroughTheMessageLoopMovesTheFocus)
{
    HACCEL accelerators = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDA_MAIN));
    const struct
    {
        int from;
        int to;
    } steps[] = {{IDC_URL_COMBO, IDC_URL_EDIT}, {IDC_CONNECT_WAIT, IDC_CONNECT}, {IDC_LOG, IDC_URL_COMBO}};
    for (const auto& step : steps) {
        SetFocus(Item(step.from));
        PostMessageW(Item(step.from), WM_KEYDOWN, VK_TAB, 1);
        PostQuitMessage(7);
        EXPECT_EQ(7, RunMessageLoop(accelerators));
        EXPECT_EQ(Item(step.to), GetFocus()) << "from " << step.from;
    }
    EXPECT_EQ(L"", TextOf(Item(IDC_LOG))) << "the Tab character is not typed into the log";
}
