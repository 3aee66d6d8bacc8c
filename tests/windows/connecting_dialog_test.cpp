#include "ui/connecting_dialog.h"

#include "platform/device_sim.h"
#include "resources/resource.h"
#include "tests/windows/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

DeviceProfile Profile(const char* text)
{
    DeviceProfile profile;
    std::string error;
    EXPECT_TRUE(ParseDeviceProfile(text, profile, error)) << error;
    return profile;
}

HINSTANCE Instance()
{
    return GetModuleHandleW(nullptr);
}

const wchar_t* const kUrl = L"http://127.0.0.1:18085/loc1/location";

// What the open dialog showed, seen from a timer of the dialog's own message loop.
struct Seen
{
    HWND dialog = nullptr;
    std::wstring caption;
    std::wstring progress;
};
Seen g_seen;
bool g_pressAbort = false;

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM found)
{
    wchar_t name[32];
    GetClassNameW(hwnd, name, 32);
    if (std::wstring(name) == L"#32770") {
        *reinterpret_cast<HWND*>(found) = hwnd;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK WatchDialog(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog == nullptr || g_seen.dialog != nullptr) {
        return;
    }
    g_seen.dialog = dialog;
    g_seen.caption = TextOf(dialog);
    g_seen.progress = TextOf(GetDlgItem(dialog, IDC_PROGRESS_TEXT));
    if (g_pressAbort) {
        SendMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    }
}

class ConnectingDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        devicesim::SetProfile(DeviceProfile());
        devicesim::ResetCounters();
        g_seen = Seen();
        g_pressAbort = false;
        m_timer = SetTimer(nullptr, 0, 100, WatchDialog);
    }
    void TearDown() override
    {
        KillTimer(nullptr, m_timer);
        // A worker left holding a connection is stopped by a disconnect run.
        if (devicesim::OpenRequests() != 0) {
            devicesim::SetProfile(DeviceProfile());
            EXPECT_EQ(RunDisconnectDialog(Instance(), nullptr), 1);
        }
        EXPECT_EQ(devicesim::OpenRequests(), 0);
    }
    // Presses "中断" as soon as the dialog shows.
    INT_PTR ConnectAndAbort(const wchar_t* url)
    {
        g_pressAbort = true;
        return RunConnectDialog(Instance(), nullptr, url);
    }

    UINT_PTR m_timer = 0;
};

TEST_F(ConnectingDialogTest, ExistingDialupEndsAtOnceWithoutAskingTheConnectionManager)
{
    devicesim::SetProfile(Profile("dialup=listed"));
    MessageBoxRecorder boxes;
    EXPECT_EQ(RunConnectDialog(Instance(), nullptr, kUrl), 1);
    devicesim::Counters counters = devicesim::GetCounters();
    EXPECT_EQ(counters.mappings + counters.testRequests + counters.realRequests, 0);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ConnectingDialogTest, UsableNetworkEndsAtOnceWithoutConnecting)
{
    for (const char* answer : {"test=0x10", "test=0x23"}) {
        SCOPED_TRACE(answer);
        devicesim::SetProfile(Profile(answer));
        devicesim::ResetCounters();
        EXPECT_EQ(RunConnectDialog(Instance(), nullptr, kUrl), 1);
        EXPECT_EQ(devicesim::GetCounters().realRequests, 0);
    }
}

TEST_F(ConnectingDialogTest, WorkerOutcomeDecidesTheResultAndAConnectionStaysHeld)
{
    MessageBoxRecorder boxes;
    devicesim::SetProfile(Profile("test=0x21\nconnect=0x40@0,0x10@150"));
    EXPECT_EQ(RunConnectDialog(Instance(), nullptr, kUrl), 1);
    PumpFor(50);
    EXPECT_EQ(devicesim::OpenRequests(), 1);

    // A disconnect run stops that worker, which gives its connection back with cache 1.
    devicesim::SetProfile(Profile("test=0x10"));
    devicesim::ResetCounters();
    EXPECT_EQ(RunDisconnectDialog(Instance(), nullptr), 1);
    EXPECT_EQ(devicesim::OpenRequests(), 0);
    EXPECT_EQ(devicesim::GetCounters().releases, (std::vector<LONG>{1, 1}));

    devicesim::SetProfile(Profile("test=0x21\nconnect=fail"));
    EXPECT_EQ(RunConnectDialog(Instance(), nullptr, kUrl), 2);
    devicesim::SetProfile(Profile("test=0x21\nconnect=0x40@20,0x21@20"));
    EXPECT_EQ(RunConnectDialog(Instance(), nullptr, kUrl), 2);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ConnectingDialogTest, AbortButtonStopsTheAttemptAndGivesItsConnectionBack)
{
    devicesim::SetProfile(Profile("test=0x21\nconnect=0x40@0,0x10@300"));
    EXPECT_EQ(ConnectAndAbort(kUrl), 2);
    EXPECT_EQ(g_seen.caption, L"接続中…");
    EXPECT_EQ(g_seen.progress, std::wstring(kUrl) + L" へ接続を開始します。");
    // Whether or not the worker got to ask, nothing stays open and nothing comes up later.
    EXPECT_TRUE(PumpUntil([] { return devicesim::OpenRequests() == 0; }, 2000));
    PumpFor(500);
    EXPECT_EQ(devicesim::OpenRequests(), 0);
    const devicesim::Counters counters = devicesim::GetCounters();
    if (counters.realRequests != 0) {
        EXPECT_EQ(counters.releases.back(), 0); // given back at once, not kept for later
    }

    // A connection that came up earlier is not a later dialog's to give back.
    g_pressAbort = false;
    EXPECT_EQ(RunConnectDialog(Instance(), nullptr, kUrl), 1);
    devicesim::SetProfile(Profile("test=timeout"));
    MessageBoxRecorder boxes;
    EXPECT_EQ(RunConnectDialog(Instance(), nullptr, kUrl), 2);
    EXPECT_EQ(boxes.Count(), 1u);
    PumpFor(100);
    EXPECT_EQ(devicesim::OpenRequests(), 1);
}

TEST_F(ConnectingDialogTest, FailedCheckShowsTheReasonOwnedByTheDialog)
{
    devicesim::SetProfile(Profile("test=timeout"));
    MessageBoxRecorder boxes;
    HWND parent =
        CreateWindowW(L"STATIC", L"parent", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, Instance(), nullptr);
    EXPECT_EQ(RunConnectDialog(Instance(), parent, kUrl), 2);
    ASSERT_EQ(boxes.Count(), 1u);
    MessageBoxRecorder::Box box = boxes.Boxes()[0];
    EXPECT_EQ(box.text, L"接続確認に失敗しました。\nCConnection::IsAvailable(). WaitForSingleObject() == WAIT_TIMEOUT."
                        L"(dwStats = 0x00000000)");
    EXPECT_EQ(box.caption, L"Error");
    EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONSTOP));
    EXPECT_NE(box.owner, nullptr);
    EXPECT_NE(box.owner, parent);
    DestroyWindow(parent);
}

TEST_F(ConnectingDialogTest, UrlLengthLimit)
{
    MessageBoxRecorder boxes;
    HWND parent =
        CreateWindowW(L"STATIC", L"parent", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, Instance(), nullptr);
    EXPECT_EQ(RunConnectDialog(Instance(), parent, nullptr), 2);
    EXPECT_EQ(RunConnectDialog(Instance(), parent, L""), 2);
    EXPECT_EQ(boxes.Count(), 0u);

    std::wstring url = L"http://127.0.0.1/";
    url.resize(1024, L'a');
    // The network is online: it ends by itself. Not raced against a press of "中断", which a
    // busy machine's worker can lose.
    EXPECT_EQ(RunConnectDialog(Instance(), nullptr, url.c_str()), 1);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(devicesim::GetCounters().testRequests, 1);

    url += L'b';
    EXPECT_EQ(RunConnectDialog(Instance(), parent, url.c_str()), 2);
    ASSERT_EQ(boxes.Count(), 1u);
    MessageBoxRecorder::Box box = boxes.Boxes()[0];
    // Every caller passes a checked service URL (255 characters at most): a longer one is a
    // failed connection, with no text of its own.
    EXPECT_EQ(box.text, L"接続に失敗しました。");
    EXPECT_EQ(box.caption, L"Error");
    EXPECT_EQ(box.style, static_cast<UINT>(MB_OK | MB_ICONSTOP));
    EXPECT_EQ(box.owner, parent);
    EXPECT_EQ(devicesim::GetCounters().testRequests, 1);
    DestroyWindow(parent);
}

TEST_F(ConnectingDialogTest, DisconnectHangsUpConnectedDialupsOnly)
{
    devicesim::SetProfile(Profile("dialup=listed,3*connected"));
    EXPECT_TRUE(ConnectionExists());
    EXPECT_EQ(RunDisconnectDialog(Instance(), nullptr), 1);
    EXPECT_EQ(devicesim::GetCounters().hangUps, 3);
    EXPECT_EQ(devicesim::DialupCount(), 1);
    EXPECT_TRUE(ConnectionExists());

    devicesim::SetProfile(Profile("dialup="));
    EXPECT_FALSE(ConnectionExists());
}

TEST_F(ConnectingDialogTest, DisconnectWithNothingToCut)
{
    MessageBoxRecorder boxes;
    // Neither connected nor reachable: nothing to do.
    IsNetworkAvailable(kUrl);
    devicesim::SetProfile(Profile("test=0x21"));
    devicesim::ResetCounters();
    EXPECT_EQ(RunDisconnectDialog(Instance(), nullptr), 1);
    EXPECT_EQ(devicesim::GetCounters().hangUps, 0);
    EXPECT_EQ(boxes.Count(), 0u);

    // The check itself failing is reported.
    devicesim::SetProfile(Profile("map=fail"));
    EXPECT_EQ(RunDisconnectDialog(Instance(), nullptr), 2);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(
        boxes.Boxes()[0].text,
        L"接続確認に失敗しました。\nCConnection::IsAvailable(). GetNetworkFromPath(): Failed.(dwStats = 0x00000000)");
}

TEST_F(ConnectingDialogTest, MissingTemplateGivesTwo)
{
    HINSTANCE without = GetModuleHandleW(L"kernel32.dll");
    EXPECT_EQ(RunConnectDialog(without, nullptr, kUrl), 2);
    EXPECT_EQ(RunDisconnectDialog(without, nullptr), 2);
}

TEST_F(ConnectingDialogTest, ProfileFileDrivesTheSimulation)
{
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    std::wstring path = std::wstring(folder) + L"tavrin_device_sim.txt";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const char text[] = "# two dial-up connections, one up\r\ndialup=connected, listed\r\ntest=0x21\r\n";
    DWORD written = 0;
    WriteFile(file, text, sizeof text - 1, &written, nullptr);
    CloseHandle(file);
    SetEnvironmentVariableW(L"TAVRIN_DEVICE_SIM", path.c_str());
    devicesim::ResetProfile();
    EXPECT_TRUE(ConnectionExists());
    EXPECT_FALSE(IsNetworkAvailable(kUrl));
    EXPECT_EQ(RunDisconnectDialog(Instance(), nullptr), 1);
    EXPECT_EQ(devicesim::DialupCount(), 1);
    SetEnvironmentVariableW(L"TAVRIN_DEVICE_SIM", nullptr);
    DeleteFileW(path.c_str());
    devicesim::ResetProfile();
    EXPECT_FALSE(ConnectionExists());
}

} // namespace
