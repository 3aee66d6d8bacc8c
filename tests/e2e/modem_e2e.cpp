// A cellular modem on the port (MODULE=3GPP): its serving cell goes to the geolocation service
// the user named, and the answered position to the map; a cell that cannot be had or placed
// says why, and nothing reaches the browser.
#include "tests/e2e/e2e_common.h"

#include "common/text_format.h"

namespace {

const wchar_t kPort[] = L"COM1:";
const wchar_t kLookupFailed[] = L"位置情報の取得に失敗しました。";
// The window says what is on the port at start-up.
const wchar_t kChosen[] = L"位置を モデム（COM1:）の基地局から取得します。\r\n";

std::wstring GeolocateUrl()
{
    return Format(L"http://127.0.0.1:%u/v1/geolocate?key=test", LookupControl::Port());
}

SettingsFile ModemSettings(bool withKey = true)
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"URL0", L"今の地図;http://map.example.test/w;w=$wlat,$wlon&acc=$acc");
    settings.Set(L"MODULE", L"3GPP");
    if (withKey) {
        settings.Set(L"GEOLOCATEURL", GeolocateUrl());
    }
    return settings;
}

// The stand-ins' cells (docs/location.md), as the request names them.
const char kHomeJson[] =
    R"({"radioType":"lte","considerIp":false,"cellTowers":[{"radioType":"lte","mobileCountryCode":440,)"
    R"("mobileNetworkCode":10,"locationAreaCode":6699,"cellId":27440068}]})";
const wchar_t kHomeUrl[] = L"http://map.example.test/w?w=35.689487,139.691706&acc=1200";
const wchar_t kHomeLog[] = L"LTE 440-10 TAC 6699 CI 27440068\r\nN35.689487 E139.691706 ±1200 m\r\n";

struct ModemCase
{
    const char* name;
    const char* modem;               // the simulator's config
    const char* service;             // the lookup stand-in's config, or null
    bool withKey;                    // GEOLOCATEURL set
    const char* json;                // the request the service gets, or null when none is sent
    const wchar_t* url;              // the browser's URL, or null when nothing is sent
    const wchar_t* log;              // the whole log, or null
    std::vector<std::wstring> boxes; // the boxes' texts, or their first lines
};

const ModemCase kCases[] = {
    {"an LTE modem at home",
     R"({"module": "modem", "profile": "lte_home"})",
     nullptr,
     true,
     kHomeJson,
     kHomeUrl,
     kHomeLog,
     {}},
    {"an LTE modem roaming, its three-digit MNC",
     R"({"module": "modem", "profile": "lte_roaming"})",
     nullptr,
     true,
     R"({"radioType":"lte","considerIp":false,"cellTowers":[{"radioType":"lte","mobileCountryCode":310,)"
     R"("mobileNetworkCode":260,"locationAreaCode":11068,"cellId":169552957}]})",
     L"http://map.example.test/w?w=47.606209,-122.332071&acc=900",
     L"LTE 310-260 TAC 11068 CI 169552957\r\nN47.606209 W122.332071 ±900 m\r\n",
     {}},
    {"a 2G modem refusing C5GREG, CEREG and CGREG, found through CREG",
     R"({"module": "modem", "profile": "gsm_only", "registration": {"CGREG": null}})",
     nullptr,
     true,
     R"({"radioType":"gsm","considerIp":false,"cellTowers":[{"radioType":"gsm","mobileCountryCode":262,)"
     R"("mobileNetworkCode":1,"locationAreaCode":161,"cellId":6956}]})",
     L"http://map.example.test/w?w=52.520008,13.404954&acc=2500",
     L"GSM 262-01 LAC 161 CI 6956\r\nN52.520008 E13.404954 ±2500 m\r\n",
     {}},
    // Another cell's unsolicited line does not stand for the read answer; echo off.
    {"unsolicited lines between the commands and their answers",
     R"({"module": "modem", "profile": "lte_home", "echo": false,
         "urc": ["+CEREG: 5,\"2B3C\",\"0A1B2C3D\",7", "RING", "+CREG: 1"]})",
     nullptr,
     true,
     kHomeJson,
     kHomeUrl,
     kHomeLog,
     {}},
    // 5G standalone: a 24-bit TAC and a 36-bit NR cell identity under its own key.
    {"an NR modem",
     R"({"module": "modem", "profile": "nr"})",
     nullptr,
     true,
     R"({"radioType":"nr","considerIp":false,"cellTowers":[{"radioType":"nr","mobileCountryCode":440,)"
     R"("mobileNetworkCode":20,"locationAreaCode":107187,"newRadioCellId":186395966}]})",
     L"http://map.example.test/w?w=34.702485,135.495951&acc=300",
     L"NR 440-20 TAC 107187 CI 186395966\r\nN34.702485 E135.495951 ±300 m\r\n",
     {}},
    // LTE on the 5G core: its 24-bit tracking area, which 16-bit services refuse, is not sent.
    {"an LTE cell on the 5G core",
     R"({"module": "modem", "profile": "nr", "registration": {"C5GREG": "+C5GREG: 2,1,\"01A2B3\",\"01A2B3C4\",10"}})",
     nullptr,
     true,
     R"({"radioType":"lte","considerIp":false,"cellTowers":[{"radioType":"lte","mobileCountryCode":440,)"
     R"("mobileNetworkCode":20,"cellId":27440068}]})",
     L"http://map.example.test/w?w=34.693738,135.502165&acc=700",
     nullptr,
     {}},
    // A cell the service does not know, placed at its area: said to be coarse.
    {"a position guessed from the area",
     R"({"module": "modem", "profile": "unknown_cell"})",
     R"({"geo_fallback": "lacf"})",
     true,
     R"({"radioType":"lte","considerIp":false,"cellTowers":[{"radioType":"lte","mobileCountryCode":440,)"
     R"("mobileNetworkCode":10,"locationAreaCode":6699,"cellId":27440069}]})",
     L"http://map.example.test/w?w=35.689500,139.691700&acc=8000",
     L"LTE 440-10 TAC 6699 CI 27440069\r\nN35.689500 E139.691700 ±8000 "
     L"m（基地局の位置ではなく、エリアから推定した大まかな位置）\r\n",
     {}},
    {"not registered: searching",
     R"({"module": "modem", "profile": "not_registered"})",
     nullptr,
     true,
     nullptr,
     nullptr,
     nullptr,
     {L"モデムがネットワークに登録されていません（検索中）。\n電波の届く場所で、SIM "
      L"カードとモデムの状態を確かめてから、"
      L"もう一度お試しください。"}},
    {"nothing answers on the port",
     R"({"module": "modem", "silent": true})",
     nullptr,
     true,
     nullptr,
     nullptr,
     nullptr,
     {L"COM1: のモデムから応答がありません。モデムの接続を確かめてください。\n"
      L"AT コマンドに答えるポートを探しますか？"}},
    {"an unknown cell (404)",
     R"({"module": "modem", "profile": "unknown_cell"})",
     nullptr,
     true,
     R"({"radioType":"lte","considerIp":false,"cellTowers":[{"radioType":"lte","mobileCountryCode":440,)"
     R"("mobileNetworkCode":10,"locationAreaCode":6699,"cellId":27440069}]})",
     nullptr,
     L"LTE 440-10 TAC 6699 CI 27440069\r\n",
     {L"位置検索サービスにこの基地局の位置が登録されていません。\n別の場所で、もう一度お試しください。"}},
    {"a refused key (403)",
     R"({"module": "modem", "profile": "lte_home"})",
     R"({"geo_mode": "forbidden"})",
     true,
     kHomeJson,
     nullptr,
     nullptr,
     {L"位置検索サービスが API キーを受け付けませんでした。\nGEOLOCATEURL のキーを確かめてください。\nHTTP 403 "
      L"(keyInvalid: API key not valid. Please pass a valid API key.)"}},
    // The cell is had, but nothing goes anywhere: there is no built-in service.
    {"no GEOLOCATEURL",
     R"({"module": "modem", "profile": "lte_home"})",
     nullptr,
     false,
     nullptr,
     nullptr,
     L"LTE 440-10 TAC 6699 CI 27440068\r\n",
     {L"設定ファイルに GEOLOCATEURL がないため、基地局の位置を問い合わせられません。\n位置検索サービスの URL を "
      L"GEOLOCATEURL に設定してください。"}},
    {"a service that never answers: the deadline",
     R"({"module": "modem", "profile": "lte_home"})",
     R"({"geo_mode": "stall", "stall_seconds": 45})",
     true,
     kHomeJson,
     nullptr,
     nullptr,
     {L"HttpSendRequest() Failed. (0x00002ee2)", kLookupFailed}},
};

} // namespace

TEST(Modem, TheServingCellGoesToTheServiceAndItsPositionToTheMap)
{
    // The rows take turns in one program while GEOLOCATEURL stays as it is: every job opens the
    // port anew and closes it before its end.
    std::unique_ptr<TavrinSession> app;
    bool appHasKey = false;
    for (const ModemCase& c : kCases) {
        SCOPED_TRACE(c.name);
        if (!app || appHasKey != c.withKey) {
            app.reset();
            app = StartSession(ModemSettings(c.withKey));
            ASSERT_TRUE(app);
            appHasKey = c.withKey;
            EXPECT_EQ(kChosen, app->Log());
        }
        ASSERT_TRUE(WsimConfigure(c.modem));
        Lookup().Configure(c.service != nullptr ? c.service : "{}");
        const size_t asked = LookupRequestCount();
        const size_t launched = app->BrowserCalls().size();
        const std::wstring logBefore = app->Log();
        std::vector<MessageBoxSeen> boxes = app->PressAndAnswer(IDC_GET_AND_SEND, IDOK, 60000);
        ASSERT_EQ(c.boxes.size(), boxes.size()) << Shown(boxes);
        for (size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(c.boxes[i], boxes[i].text);
        }
        const auto requests = Lookup().Requests();
        ASSERT_EQ(asked + (c.json != nullptr ? 1 : 0), requests.size());
        if (c.json != nullptr) {
            EXPECT_EQ(0u, requests.back().front().find("POST /v1/geolocate?key=test ")) << requests.back().front();
            EXPECT_EQ(c.json, requests.back().back());
        }
        if (c.url != nullptr) {
            ASSERT_TRUE(app->WaitBrowserCalls(launched + 1, 5000));
            EXPECT_EQ(c.url, app->BrowserCalls().back());
        } else {
            EXPECT_EQ(launched, app->BrowserCalls().size());
        }
        if (c.log != nullptr) {
            EXPECT_EQ(logBefore + c.log, app->Log()) << Utf8(app->Log());
        }
        // The port is free again: another program can open it.
        HANDLE port = CreateFileW(kPort, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, port);
        CloseHandle(port);
    }
}

TEST(Modem, ACachedCellIsSentAgainWithTheLineDown)
{
    SettingsFile settings = ModemSettings();
    settings.Set(L"LOOKUPCACHE", L"TRUE");
    settings.Set(L"AUTOCONNECT", L"TRUE");
    // The line comes up once; any later attempt fails.
    auto app = StartWithDevice("test = 0x20\nconnect = 0x10@300 ; fail\ndialup_follows = yes\n", settings);
    ASSERT_TRUE(app);
    ASSERT_TRUE(WsimConfigure(R"({"module": "modem", "profile": "lte_home"})"));
    const size_t asked = LookupRequestCount();
    std::vector<MessageBoxSeen> boxes = app->PressAndAnswer(IDC_GET_AND_SEND);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    ASSERT_TRUE(app->WaitBrowserCalls(1, 5000));
    EXPECT_EQ(asked + 1, LookupRequestCount());

    ASSERT_TRUE(CaptionBecomes(*app, L"切断"));
    EXPECT_TRUE(app->PressAndAnswer(IDC_CONNECT).empty());
    ASSERT_TRUE(CaptionBecomes(*app, L"接続"));
    boxes = app->PressAndAnswer(IDC_GET_AND_SEND);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    ASSERT_TRUE(app->WaitBrowserCalls(2, 5000));
    EXPECT_EQ(kHomeUrl, app->BrowserCalls()[1]);
    EXPECT_EQ(asked + 1, LookupRequestCount()); // nothing asked the second time
    EXPECT_EQ(kChosen + std::wstring(kHomeLog) +
                  L"LTE 440-10 TAC 6699 CI 27440068\r\nN35.689487 E139.691706 ±1200 m（キャッシュ）\r\n",
              app->Log());
}

namespace {

// The formats of the stand-in's modem as its state file writes them (5GS and GPRS left at 0).
std::string ModemState(int cereg = 0, int creg = 0, int cops = 0, bool echo = true)
{
    return "{\"C5GREG\": 0, \"CEREG\": " + std::to_string(cereg) + ", \"CGREG\": 0, \"CREG\": " + std::to_string(creg) +
           ", \"COPS\": " + std::to_string(cops) + ", \"echo\": " + (echo ? "true" : "false") + "}";
}

struct RealModemCase
{
    const char* name;
    const char* modem; // the simulator's config: lte_home in the form of a real modem
    std::string state; // the formats it starts with, and has again at the end
};

} // namespace

// Modems as they really answer: on a UART at their own speed and without flow control, with
// leading zeros, a routing area before the cell, answers that come late, a stale line of a kind
// not asked yet. Each gives its cell, and has the formats it had before when the program is done.
TEST(Modem, RealModemsGiveTheirCellAndGetTheirFormatsBack)
{
    const RealModemCase cases[] = {
        {"a UART module at 115200 wired without flow control",
         R"({"module": "modem", "speed": 115200, "flow": "none"})", ModemState()},
        {"a UART module at 9600 wired without flow control: found after 115200",
         R"({"module": "modem", "speed": 9600, "flow": "none"})", ModemState()},
        {"every number with leading zeros", R"({"module": "modem", "zeros": true})", ModemState()},
        {"the routing area before the cell", R"({"module": "modem", "profile": "lte_routing_area"})", ModemState()},
        {"a late answer, echo on: sent again", R"({"module": "modem", "late": ["AT+CEREG?"]})", ModemState()},
        {"a late answer, echo off: waited for", R"({"module": "modem", "late": ["AT+CEREG?"], "echo": false})",
         ModemState(0, 0, 0, false)},
        {"a stale UMTS cell of a kind not asked yet",
         R"({"module": "modem", "urc": ["+CGREG: 1,\"00A1\",\"0012ABC\",2"], "urc_after": ["AT+C5GREG?", "AT+CEREG?"]})",
         ModemState()},
        {"its own formats: unsolicited lines on, the operator by its short name",
         R"({"module": "modem", "modes": {"CEREG": 1, "CREG": 1}, "cops_format": 1})", ModemState(1, 1, 1)},
    };
    // The modems take turns in one program: every job finds its modem's speed and formats anew.
    auto app = StartSession(ModemSettings());
    ASSERT_TRUE(app);
    for (const RealModemCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WsimConfigure(c.modem));
        const size_t asked = LookupRequestCount();
        const size_t launched = app->BrowserCalls().size();
        const std::wstring logBefore = app->Log();
        std::vector<MessageBoxSeen> boxes = app->PressAndAnswer(IDC_GET_AND_SEND, IDOK, 60000);
        EXPECT_TRUE(boxes.empty()) << Shown(boxes);
        const auto requests = Lookup().Requests();
        ASSERT_EQ(asked + 1, requests.size());
        EXPECT_EQ(kHomeJson, requests.back().back());
        ASSERT_TRUE(app->WaitBrowserCalls(launched + 1, 5000));
        EXPECT_EQ(kHomeUrl, app->BrowserCalls().back());
        EXPECT_EQ(logBefore + kHomeLog, app->Log()) << Utf8(app->Log());
        // Put back beside the lookup and the browser.
        EXPECT_TRUE(WaitFor([&] { return WsimModemState() == c.state; }, 5000)) << WsimModemState();
    }
}

// "中断" in the middle of the dialogue: the formats the program set are put back before the port
// closes, and nothing is logged or sent.
TEST(Modem, AbortPutsTheFormatsBack)
{
    auto app = StartSession(ModemSettings());
    ASSERT_TRUE(app);
    // The operator's question is answered late: "中断" comes while it is awaited, with the
    // location's format already set.
    ASSERT_TRUE(WsimConfigure(R"({"module": "modem", "late": ["AT+COPS?"], "late_ms": 2500})"));
    WsimClearLog();
    auto command = app->Press(IDC_GET_AND_SEND);
    HWND dialog = app->WaitDialogWith(IDC_PROGRESS_TEXT, 5000);
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(WaitFor([] { return CountOf(WsimCommands(), "AT+COPS?") == 1; }, 10000));
    EXPECT_EQ(ModemState(2), WsimModemState());
    EXPECT_TRUE(TavrinSession::Answer(dialog, IDCANCEL));
    EXPECT_TRUE(command->Wait(10000));
    EXPECT_TRUE(WaitFor([] { return WsimModemState() == ModemState(); }, 10000)) << WsimModemState();
    const std::vector<std::string> sent = WsimCommands();
    EXPECT_EQ("AT+CEREG=0", sent.back());
    EXPECT_EQ(kChosen, app->Log());
    EXPECT_TRUE(app->BrowserCalls().empty());
}
