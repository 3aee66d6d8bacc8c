// The port search from the settings screen, on the harness's ports: COM1: (and its alias COM3:)
// silent, a receiver at 38400 bps on COM4:, an LTE modem at 115200 bps wired without flow control
// on COM5:, and COM6: held by another program. A row chosen sets what the acquisitions use.
#include "tests/e2e/e2e_common.h"

#include "acquisition/port_search.h"
#include "common/text_format.h"

#include <commctrl.h>

#include <cstdio>
#include <map>

namespace {

const char kReceiverAt38400[] = R"({"module": "nmea", "interval_ms": 200, "speed": 38400})";
const char kModemAt115200[] = R"({"module": "modem", "profile": "lte_home", "speed": 115200, "flow": "none"})";
const wchar_t kSearchDone[] = L"終わりました。使う機器の行を選んでください。";
// Every port is told within the search's bound of its opening, and they all open at the button;
// the rest is the threads' start and the list's refresh.
constexpr DWORD kSearchBoundMs = kSearchPortBoundMs + 1000;
// "中断" ends the search within this of the button.
constexpr DWORD kStopBoundMs = 500;

// The ports as the harness has them, every test, and back to W-SIMs after it.
class PortSearchPorts
{
public:
    PortSearchPorts()
    {
        // What an earlier test sent to these ports is no part of this one.
        for (WsimPort port : {WsimPort::Com1, WsimPort::Com4, WsimPort::Com5}) {
            WsimClearLog(port);
        }
        EXPECT_TRUE(WsimConfigure(WsimPort::Com4, kReceiverAt38400));
        EXPECT_TRUE(WsimConfigure(WsimPort::Com5, kModemAt115200));
    }
    ~PortSearchPorts()
    {
        WsimReset();
        WsimConfigure(WsimPort::Com4, "{}");
        WsimConfigure(WsimPort::Com5, "{}");
    }
};

SettingsFile SearchSettings()
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"URL0", L"今の地図;http://map.example.test/w;w=$wlat,$wlon");
    settings.Set(L"GEOLOCATEURL", Format(L"http://127.0.0.1:%u/v1/geolocate?key=test", LookupControl::Port()));
    return settings;
}

struct Search
{
    std::unique_ptr<PendingCommand> settingsCommand;
    HWND settings = nullptr;
    HWND search = nullptr;
    DWORD pressed = 0;
};

// "設定…", then "ポートを探す" once the ports are listed.
Search StartSearch(TavrinSession& app)
{
    Search s;
    s.settingsCommand = app.Press(IDM_SETTINGS);
    s.settings = app.WaitDialogWith(IDC_SET_SEARCH, 10000);
    if (s.settings == nullptr ||
        !WaitFor([&] { return IsWindowEnabled(GetDlgItem(s.settings, IDC_SET_SEARCH)) != FALSE; }, 10000)) {
        ADD_FAILURE() << "no settings screen with its search button";
        return s;
    }
    s.pressed = GetTickCount();
    TavrinSession::Click(s.settings, IDC_SET_SEARCH);
    s.search = app.WaitDialogWith(IDC_SEARCH_LIST, 10000);
    EXPECT_NE(nullptr, s.search);
    return s;
}

std::wstring Status(const Search& s)
{
    return TextOf(GetDlgItem(s.search, IDC_SEARCH_STATUS));
}

// Each row as "port|what|speed|maker and model".
std::map<std::wstring, std::wstring> Rows(const TavrinSession& app, const Search& s)
{
    std::map<std::wstring, std::wstring> rows;
    HWND list = GetDlgItem(s.search, IDC_SEARCH_LIST);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        rows[app.ListText(list, row, 0)] =
            app.ListText(list, row, 1) + L"|" + app.ListText(list, row, 2) + L"|" + app.ListText(list, row, 3);
    }
    return rows;
}

int RowOf(const TavrinSession& app, const Search& s, const std::wstring& port)
{
    HWND list = GetDlgItem(s.search, IDC_SEARCH_LIST);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        if (app.ListText(list, row, 0) == port) {
            return row;
        }
    }
    return -1;
}

// Chooses the row of `port` with "選択" and keeps the settings screen with OK; the fields it set
// as the screen showed them: module row, port, speed.
std::wstring ChooseAndKeep(TavrinSession& app, Search& s, const std::wstring& port)
{
    const int row = RowOf(app, s, port);
    if (row < 0) {
        ADD_FAILURE() << "no row of " << Utf8(port);
        return std::wstring();
    }
    app.ListSelect(GetDlgItem(s.search, IDC_SEARCH_LIST), row);
    EXPECT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(s.search, IDOK)) != FALSE; }, 3000));
    EXPECT_TRUE(TavrinSession::Answer(s.search, IDOK));
    const LRESULT module = SendMessageW(GetDlgItem(s.settings, IDC_SET_MODULE), CB_GETCURSEL, 0, 0);
    const std::wstring fields = std::to_wstring(module) + L"|" + TextOf(GetDlgItem(s.settings, IDC_SET_PORT)) + L"|" +
                                TextOf(GetDlgItem(s.settings, IDC_SET_SPEED));
    EXPECT_TRUE(TavrinSession::Answer(s.settings, IDOK));
    EXPECT_TRUE(s.settingsCommand->Wait(5000));
    return fields;
}

} // namespace

TEST(PortSearch, NamesEachPortAndItsRowGetsTheFixOrTheCell)
{
    PortSearchPorts ports;
    auto app = StartSession(SearchSettings());
    ASSERT_TRUE(app);
    ASSERT_TRUE(WsimConfigure(R"({"silent": true})"));

    Search s = StartSearch(*app);
    ASSERT_NE(nullptr, s.search);
    ASSERT_TRUE(WaitFor([&] { return Status(s) == kSearchDone; }, 40000)) << Utf8(Status(s));
    const DWORD named = GetTickCount() - s.pressed;
    std::printf("the search named every port %lu ms after its button\n", named);
    EXPECT_LE(named, kSearchBoundMs);
    std::map<std::wstring, std::wstring> rows = Rows(*app, s);
    const std::map<std::wstring, std::wstring> expected = {
        {L"COM1:", L"応答なし||"},
        {L"COM3:", L"応答なし||"},
        {L"COM4:", L"GNSS受信機|38400 bps|"},
        {L"COM5:", L"モデム|115200 bps|Quectel EG25"},
        {L"COM6:", L"使用中||"},
    };
    for (const auto& [port, row] : expected) {
        EXPECT_EQ(row, rows[port]) << Utf8(port);
    }
    // The receiver heard nothing from the program, the silent port "AT" and nothing else.
    EXPECT_EQ("", WsimReceivedBytes(WsimPort::Com4));
    for (const std::string& command : WsimCommands()) {
        EXPECT_EQ("AT", command);
    }

    // The receiver's row: GNSS受信機 on COM4: at 38400 bps, and "取得～送信" sends its fix.
    EXPECT_EQ(L"1|COM4:|38400", ChooseAndKeep(*app, s, L"COM4:"));
    std::vector<MessageBoxSeen> boxes = app->PressAndAnswer(IDC_GET_AND_SEND, IDOK, 30000);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    ASSERT_TRUE(app->WaitBrowserCalls(1, 5000));
    EXPECT_EQ(L"http://map.example.test/w?w=35.681236,139.767125", app->BrowserCalls()[0]);

    // The modem's row: its cell goes to the geolocation service.
    s = StartSearch(*app);
    ASSERT_NE(nullptr, s.search);
    ASSERT_TRUE(WaitFor([&] { return Status(s) == kSearchDone; }, 40000)) << Utf8(Status(s));
    EXPECT_EQ(L"2|COM5:|115200", ChooseAndKeep(*app, s, L"COM5:"));
    boxes = app->PressAndAnswer(IDC_GET_AND_SEND, IDOK, 30000);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    ASSERT_TRUE(app->WaitBrowserCalls(2, 5000));
    EXPECT_EQ(L"http://map.example.test/w?w=35.689487,139.691706", app->BrowserCalls()[1]);
}

TEST(PortSearch, StopClosesEveryPortAndChoosesNothing)
{
    PortSearchPorts ports;
    auto app = StartSession(SearchSettings());
    ASSERT_TRUE(app);
    ASSERT_TRUE(WsimConfigure(R"({"silent": true})"));

    Search s = StartSearch(*app);
    ASSERT_NE(nullptr, s.search);
    // Stopped once the silent ports are being asked "AT".
    ASSERT_TRUE(WaitFor([] { return !WsimCommands().empty(); }, 10000));
    const DWORD pressed = GetTickCount();
    TavrinSession::Click(s.search, IDCANCEL);
    ASSERT_TRUE(WaitFor([&] { return Status(s) == L"中断しました。"; }, 5000)) << Utf8(Status(s));
    const DWORD stopped = GetTickCount() - pressed;
    std::printf("the search stopped %lu ms after 中断\n", stopped);
    EXPECT_LE(stopped, kStopBoundMs);
    // Nothing more reaches the ports.
    WsimClearLog();
    Sleep(1000);
    EXPECT_EQ("", WsimReceivedBytes());
    EXPECT_EQ(L"閉じる", TextOf(GetDlgItem(s.search, IDCANCEL)));

    // Closed without a choice, the settings screen shows what it showed.
    const std::wstring port = TextOf(GetDlgItem(s.settings, IDC_SET_PORT));
    EXPECT_TRUE(TavrinSession::Answer(s.search, IDCANCEL));
    EXPECT_EQ(port, TextOf(GetDlgItem(s.settings, IDC_SET_PORT)));
    EXPECT_TRUE(TavrinSession::Answer(s.settings, IDCANCEL));
    EXPECT_TRUE(s.settingsCommand->Wait(5000));
}

// Nothing answered on the acquisition's port: the box asks whether to search. はい opens the
// settings screen with the search going, いいえ leaves the window as it was.
TEST(PortSearch, TheBoxOfASilentPortOffersTheSearch)
{
    struct Case
    {
        const char* name;
        const wchar_t* module;
        const char* device;
        int answer;
    };
    const Case cases[] = {
        {"a silent receiver, はい", L"NMEA", R"({"module": "nmea", "nmea_silent": true})", IDYES},
        {"a silent modem, はい", L"3GPP", R"({"module": "modem", "silent": true})", IDYES},
        {"a silent modem, いいえ", L"3GPP", R"({"module": "modem", "silent": true})", IDNO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFile settings = SearchSettings();
        settings.Set(L"MODULE", c.module);
        auto app = StartSession(settings);
        ASSERT_TRUE(app);
        ASSERT_TRUE(WsimConfigure(c.device));

        auto command = app->Press(IDC_GET_AND_SEND);
        MessageBoxSeen box;
        ASSERT_TRUE(app->WaitMessageBox(box, 30000));
        EXPECT_TRUE(box.yes && box.no) << Utf8(box.text);
        EXPECT_TRUE(TavrinSession::Answer(box.box, c.answer));
        EXPECT_TRUE(command->Wait(5000));
        if (c.answer == IDNO) {
            EXPECT_EQ(nullptr, app->WaitDialogWith(IDC_SET_SEARCH, 2000));
            EXPECT_TRUE(app->Dialogs().empty());
            continue;
        }
        // The search's screen comes over the settings screen, which may hide behind it.
        Search s;
        s.search = app->WaitDialogWith(IDC_SEARCH_LIST, 15000);
        ASSERT_NE(nullptr, s.search);
        s.settings = GetWindow(s.search, GW_OWNER);
        ASSERT_NE(nullptr, GetDlgItem(s.settings, IDC_SET_SEARCH));
        // Searching, not ended: its button still stops it.
        EXPECT_EQ(L"中断", TextOf(GetDlgItem(s.search, IDCANCEL)));
        EXPECT_NE(kSearchDone, Status(s));
        TavrinSession::Click(s.search, IDCANCEL);
        EXPECT_TRUE(WaitFor([&] { return Status(s) == L"中断しました。"; }, 5000)) << Utf8(Status(s));
        EXPECT_TRUE(TavrinSession::Answer(s.search, IDCANCEL));
        EXPECT_TRUE(TavrinSession::Answer(s.settings, IDCANCEL));
        EXPECT_TRUE(app->BrowserCalls().empty());
    }
}
