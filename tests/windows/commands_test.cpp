// ctest-lock: com1
// ctest-lock: lookup
// The main window's commands in-process, on a window with the controls they use, against
// the W-SIM simulator, the lookup stand-in, the device simulation and the test browser.
#include "common/message_box.h"
#include "network/location_service.h"
#include "platform/device_profile.h"
#include "platform/device_sim.h"
#include "resources/resource.h"
#include "settings/settings.h"
#include "tests/windows/test_support.h"
#include "tests/windows/wsim_control.h"
#include "ui/app_state.h"
#include "ui/commands.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

extern std::wstring g_strCsId;
extern std::wstring g_strSimpleCoords;

namespace {

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) {
        LRESULT result = OnControlCommand(window, wParam, lParam);
        if (result >= 0) {
            return result;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The controls of the main window that the commands read and write.
class CommandsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_hInstance = GetModuleHandleW(nullptr);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = g_hInstance;
        wc.lpszClassName = L"CommandsTestHost";
        RegisterClassW(&wc);
        m_window = CreateWindowExW(0, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW, 0, 0, 480, 640, nullptr, nullptr,
                                   g_hInstance, nullptr);
        ASSERT_NE(nullptr, m_window);
        for (int id : {IDC_URL_COMBO, IDC_BROWSER_COMBO}) {
            Child(L"COMBOBOX", id, CBS_DROPDOWNLIST | WS_VSCROLL);
        }
        for (int id : {IDC_LOCATE_EASY, IDC_AUTO_CONNECT, IDC_AUTO_BROWSER, IDC_STARTUP_ALL}) {
            Child(L"BUTTON", id, BS_AUTOCHECKBOX);
        }
        Child(L"EDIT", IDC_CONNECT_WAIT, ES_NUMBER);
        Child(L"EDIT", IDC_LOG, ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL);
        Child(L"BUTTON", IDC_CONNECT, BS_PUSHBUTTON);

        m_browserLog = TempPath(L"commands_test_browser.log");
        DeleteFileW(m_browserLog.c_str());
        SetEnvironmentVariableW(L"TAVRIN_BROWSER_LOG", m_browserLog.c_str());

        g_settings.m_hInstance = g_hInstance;
        g_settings.m_hWnd = m_window;
        g_settings.m_urlList.clear();
        AddUrl(L"地図", L"http://map.example.test/show", L"pos=N$nlE$el");
        AddUrl(L"URLなし", L"", L"pos=$nl");
        g_settings.m_nUrlIndex = 0;
        g_settings.m_browserList.clear();
        AddBrowser(L"テスト", WinePathFromEnv("TAVRIN_BUILD_DIR") + L"\\tools\\test_browser.exe");
        AddBrowser(L"パスなし", L"");
        g_settings.m_nBrowserIndex = 0;
        g_settings.m_bLocateEasy = false;
        g_settings.m_bAutoConnect = false;
        g_settings.m_bAutoBrowser = true;
        g_settings.m_nConnectWait = 0;
        g_settings.m_strLog.clear();
        g_settings.Exchange(true);
        g_strCsId.clear();
        g_strSimpleCoords.clear();

        WsimReset();
        devicesim::SetProfile(DeviceProfile());
    }

    void TearDown() override
    {
        devicesim::SetProfile(DeviceProfile());
        if (m_window != nullptr) {
            DestroyWindow(m_window);
        }
    }

    void Child(const wchar_t* cls, int id, DWORD style)
    {
        CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 100, 100, m_window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), g_hInstance, nullptr);
    }

    static std::wstring TempPath(const wchar_t* name)
    {
        wchar_t dir[MAX_PATH];
        GetTempPathW(MAX_PATH, dir);
        return std::wstring(dir) + name;
    }

    static void AddUrl(const wchar_t* title, const std::wstring& url, const wchar_t* format)
    {
        CListEntry entry;
        entry.Add(L"名前", title);
        entry.Add(L"URL", url);
        entry.Add(L"書式", format);
        g_settings.m_urlList.push_back(entry);
    }

    static void AddBrowser(const wchar_t* name, const std::wstring& file)
    {
        CListEntry entry;
        entry.Add(L"ブラウザ", name);
        entry.Add(L"ファイル", file);
        g_settings.m_browserList.push_back(entry);
    }

    LRESULT Command(int id) { return SendMessageW(m_window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void Check(int id, bool on) { SendDlgItemMessageW(m_window, id, BM_SETCHECK, on ? BST_CHECKED : 0, 0); }
    std::wstring Text(int id)
    {
        wchar_t text[8192] = {};
        GetDlgItemTextW(m_window, id, text, 8192);
        return text;
    }

    std::string BrowserLog()
    {
        std::ifstream in(m_browserLog.c_str(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    HWND m_window = nullptr;
    std::wstring m_browserLog;
};

} // namespace

TEST_F(CommandsTest, ButtonsRunTheirCommandsAndOtherControlsGetDefaultProcessing)
{
    MessageBoxRecorder boxes;
    EXPECT_LT(OnControlCommand(m_window, MAKEWPARAM(IDC_URL_COMBO, CBN_SELCHANGE), 0), 0);
    EXPECT_LT(OnControlCommand(m_window, MAKEWPARAM(IDC_LOCATE_EASY, BN_CLICKED), 0), 0);
    EXPECT_LT(OnControlCommand(m_window, MAKEWPARAM(IDC_LOG, EN_CHANGE), 0), 0);
    EXPECT_EQ(0, OnControlCommand(m_window, MAKEWPARAM(IDC_AUTO_CONNECT, BN_CLICKED), 0));
    EXPECT_EQ(0u, boxes.Count());
    // Any notification code of the send button sends: here it asks for a CS-ID.
    EXPECT_EQ(0, OnControlCommand(m_window, MAKEWPARAM(IDC_SEND, BN_SETFOCUS), 0));
    EXPECT_EQ(1u, boxes.Count());
}

TEST_F(CommandsTest, ConnectButtonCaptionFollowsTheDialupConnection)
{
    SetDlgItemTextW(m_window, IDC_CONNECT, L"?");
    EXPECT_EQ(0, OnTimer(m_window, 7));
    EXPECT_EQ(L"?", Text(IDC_CONNECT));
    OnTimer(m_window, 100);
    EXPECT_EQ(L"接続", Text(IDC_CONNECT));

    DeviceProfile connected;
    connected.dialups.push_back(DeviceProfile::Dialup{});
    devicesim::SetProfile(connected);
    OnTimer(m_window, 100);
    EXPECT_EQ(L"切断", Text(IDC_CONNECT));
}

TEST_F(CommandsTest, SendWarnsWithTheExclamationIconAndSendsNothing)
{
    MessageBoxRecorder boxes;
    Command(IDC_SEND);
    Check(IDC_LOCATE_EASY, true);
    Command(IDC_SEND);
    g_strCsId = L"1234/5";
    Check(IDC_LOCATE_EASY, false);
    SendDlgItemMessageW(m_window, IDC_URL_COMBO, CB_SETCURSEL, 1, 0); // its URL is empty
    Command(IDC_SEND);
    SendDlgItemMessageW(m_window, IDC_URL_COMBO, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    Command(IDC_SEND);

    const wchar_t* expected[] = {L"CS-IDを取得してください。", L"簡易座標を取得してください。",
                                 L"送信先のURLを指定してください。", L"送信先のURLを指定してください。"};
    auto shown = boxes.Boxes();
    ASSERT_EQ(4u, shown.size());
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(expected[i], shown[i].text);
        EXPECT_EQ(L"警告", shown[i].caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), shown[i].style);
        EXPECT_EQ(m_window, shown[i].owner);
    }
    EXPECT_EQ(L"", Text(IDC_LOG));
    EXPECT_TRUE(BrowserLog().empty());
}

TEST_F(CommandsTest, FailedLookupEndsWithTheErrorBoxOfTheCommand)
{
    MessageBoxRecorder boxes;
    g_strCsId = L"9999/9"; // the stand-in knows no position for it
    Command(IDC_SEND);
    auto shown = boxes.Boxes();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(L"位置情報の取得に失敗しました。", shown.back().text);
    EXPECT_EQ(L"Error", shown.back().caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), shown.back().style);
    EXPECT_EQ(m_window, shown.back().owner);
    EXPECT_EQ(L"", Text(IDC_LOG));
}

TEST_F(CommandsTest, GetLocationWhileConnectedAsksWithoutIconAndNoKeepsEverything)
{
    DeviceProfile connected;
    connected.dialups.push_back(DeviceProfile::Dialup{});
    devicesim::SetProfile(connected);
    WsimClearLog();
    g_strCsId = L"12/3";
    MessageBoxRecorder boxes(IDNO);
    Command(IDC_GET_LOCATION);
    auto shown = boxes.Boxes();
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(L"接続中です。切断してもよろしいですか？", shown[0].text);
    EXPECT_EQ(L"確認", shown[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO), shown[0].style);
    EXPECT_TRUE(WsimCommands().empty());
    EXPECT_EQ(1, devicesim::DialupCount());
    EXPECT_EQ(L"12/3", g_strCsId);
}
