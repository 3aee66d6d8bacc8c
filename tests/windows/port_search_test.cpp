// ctest-lock: com1
// The port search against the harness's ports: the simulators of COM1: (and its alias COM3:),
// COM4: and COM5:, the port COM6: that another program holds exclusively, and a port that does
// not exist.
#include "acquisition/port_prober.h"
#include "common/win_handle.h"
#include "resources/resource.h"
#include "tests/windows/dialog_driver.h"
#include "tests/windows/test_support.h"
#include "tests/windows/wsim_control.h"
#include "ui/port_search_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>
#include <vector>

namespace {

const char kReceiverAt38400[] = R"({"module": "nmea", "interval_ms": 200, "speed": 38400})";
const char kModemAt115200[] = R"({"module": "modem", "speed": 115200, "flow": "none"})";
const char kSilent[] = R"({"silent": true})";

class PortSearch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WsimConfigure(kSilent));
        ASSERT_TRUE(WsimConfigure(WsimPort::Com4, kReceiverAt38400));
        ASSERT_TRUE(WsimConfigure(WsimPort::Com5, kModemAt115200));
        for (WsimPort port : {WsimPort::Com1, WsimPort::Com4, WsimPort::Com5}) {
            WsimClearLog(port);
        }
    }
    void TearDown() override
    {
        WsimReset();
        WsimConfigure(WsimPort::Com4, "{}");
        WsimConfigure(WsimPort::Com5, "{}");
    }
};

std::wstring ListText(HWND list, int row, int column)
{
    wchar_t buffer[128] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 128;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return buffer;
}

void SelectRow(HWND list, int row)
{
    LVITEMW state{};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

bool WaitForStatus(HWND dialog, const std::wstring& status, DWORD ms)
{
    const DWORD start = GetTickCount();
    while (TextOf(GetDlgItem(dialog, IDC_SEARCH_STATUS)) != status) {
        if (GetTickCount() - start > ms) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

} // namespace

// Each port as it is, all tried at once: nothing is written to the receiver, and the port another
// program holds is told as in use, not as missing.
TEST_F(PortSearch, TellsEachPortAsItIs)
{
    struct Case
    {
        const wchar_t* port;
        PortKind kind;
        unsigned baud;
    } cases[] = {
        {L"COM4:", PortKind::Receiver, 38400}, {L"COM5:", PortKind::Modem, 115200}, {L"COM1:", PortKind::Silent, 0},
        {L"COM6:", PortKind::InUse, 0},        {L"COM9:", PortKind::Unusable, 0},
    };
    CHandle stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::vector<PortFinding> findings(std::size(cases));
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        threads.emplace_back([&, i] { findings[i] = ProbePort(cases[i].port, stop.Get()); });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(Utf8(cases[i].port));
        EXPECT_EQ(cases[i].port, findings[i].port);
        EXPECT_EQ(cases[i].kind, findings[i].kind);
        EXPECT_EQ(cases[i].baud, findings[i].baud);
    }
    EXPECT_EQ("", WsimReceivedBytes(WsimPort::Com4));
    // The silent port heard "AT" at each speed, and nothing else.
    for (const std::string& command : WsimCommands(WsimPort::Com1)) {
        EXPECT_EQ("AT", command);
    }
}

// The list: a row per port; choosing the receiver's row gives its module, port and speed.
TEST_F(PortSearch, ChoosingARowGivesItsSettings)
{
    std::vector<std::wstring> rows;
    DialogScript script(L"ポートを探す", [&rows](HWND dialog) {
        if (!WaitForStatus(dialog, L"終わりました。使う機器の行を選んでください。", 30000)) {
            ADD_FAILURE() << "the search did not end: " << Utf8(TextOf(GetDlgItem(dialog, IDC_SEARCH_STATUS)));
        }
        HWND list = GetDlgItem(dialog, IDC_SEARCH_LIST);
        for (int row = 0; row < 3; ++row) {
            rows.push_back(ListText(list, row, 0) + L"|" + ListText(list, row, 1) + L"|" + ListText(list, row, 2));
        }
        SelectRow(list, 1); // in use: nothing to choose
        Sleep(50);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
        SelectRow(list, 0);
        Sleep(50);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDOK)));
        EXPECT_EQ(L"閉じる", TextOf(GetDlgItem(dialog, IDCANCEL)));
        PressButton(dialog, IDOK);
    });
    SearchChoice choice;
    ASSERT_TRUE(RunPortSearch(GetModuleHandleW(nullptr), nullptr, {L"COM4:", L"COM6:", L"COM9:"}, choice));
    ASSERT_TRUE(script.Found());
    EXPECT_EQ((std::vector<std::wstring>{L"COM4:|GNSS受信機|38400 bps", L"COM6:|使用中|", L"COM9:|開けません|"}), rows);
    EXPECT_EQ(ModuleKind::Nmea, choice.module);
    EXPECT_EQ(L"COM4:", choice.port);
    EXPECT_EQ(38400u, choice.baud);
}

// "中断" stops the search at once: the rows not told say so, the button closes the screen, and
// nothing is chosen.
TEST_F(PortSearch, StopEndsTheSearch)
{
    std::wstring row;
    DialogScript script(L"ポートを探す", [&row](HWND dialog) {
        Sleep(500);
        const DWORD pressed = GetTickCount();
        PressButton(dialog, IDCANCEL);
        EXPECT_TRUE(WaitForStatus(dialog, L"中断しました。", 5000));
        std::printf("the search stopped %lu ms after its button\n", GetTickCount() - pressed);
        row = ListText(GetDlgItem(dialog, IDC_SEARCH_LIST), 0, 1);
        EXPECT_EQ(L"閉じる", TextOf(GetDlgItem(dialog, IDCANCEL)));
        PressButton(dialog, IDCANCEL);
    });
    SearchChoice choice;
    EXPECT_FALSE(RunPortSearch(GetModuleHandleW(nullptr), nullptr, {L"COM1:", L"COM4:"}, choice));
    ASSERT_TRUE(script.Found());
    EXPECT_EQ(L"中断", row);
}
