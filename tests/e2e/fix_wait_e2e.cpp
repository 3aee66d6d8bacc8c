// The wait for a receiver's fix on each path it can take: a serial port, a phone or a
// multiplexer over TCP, NMEA datagrams over UDP, and gpsd (the real one, fed by gpsfake). The
// fix goes to the map as sent; each way of failing gets its own box naming the place, nothing
// goes to the lookup, nothing to a tcp:// peer, and the window answers throughout.
#include <winsock2.h>

#include "tests/e2e/e2e_common.h"

namespace {

// What "取得～送信" showed: each box (answered with OK), the wait's texts, and how often the
// window was asked whether it answers and did not.
struct JobSeen
{
    std::vector<MessageBoxSeen> boxes;
    std::vector<std::wstring> waitTexts;
    unsigned asked = 0;
    unsigned unanswered = 0;
};

JobSeen GetAndSend(TavrinSession& app)
{
    JobSeen seen;
    auto command = app.Press(IDC_GET_AND_SEND);
    const DWORD start = GetTickCount();
    while (!command->Done() && GetTickCount() - start < 40000) {
        DWORD_PTR result = 0;
        ++seen.asked;
        if (SendMessageTimeoutW(app.MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) == 0) {
            ++seen.unanswered;
        }
        for (HWND dialog : app.Dialogs()) {
            HWND text = GetDlgItem(dialog, IDC_PROGRESS_TEXT);
            if (text != nullptr && TextOf(dialog) == L"測位中…") {
                const std::wstring shown = TextOf(text);
                if (seen.waitTexts.empty() || seen.waitTexts.back() != shown) {
                    seen.waitTexts.push_back(shown);
                }
            }
        }
        MessageBoxSeen box;
        if (app.WaitMessageBox(box, 100)) {
            seen.boxes.push_back(box);
            TavrinSession::Answer(box.box, IDOK);
        }
    }
    if (!command->Done()) {
        app.Stop();
        seen.boxes.push_back(MessageBoxSeen{nullptr, nullptr, L"(timeout)", L"the command did not end"});
    }
    return seen;
}

const wchar_t kTokyo[] = L"http://map.example.test/w?w=35.681236,139.767125&acc=5";
const char kReceiver[] = R"({"module": "nmea", "interval_ms": 200)";

} // namespace

TEST(FixWait, EachPathBringsItsFixToTheMapAndEachFailureItsOwnBox)
{
    const std::wstring nmeaPort = std::to_wstring(HarnessPort("TAVRIN_NMEA_TCP_PORT"));
    const std::wstring tcp = L"tcp://127.0.0.1:" + nmeaPort;
    const std::wstring udpPort = std::to_wstring(FreeLoopbackPort(SOCK_DGRAM));
    const std::wstring udp = L"udp://:" + udpPort;
    const std::wstring closed = L"tcp://127.0.0.1:" + std::to_wstring(FreeLoopbackPort(SOCK_STREAM));
    const std::wstring gpsd = L"gpsd://127.0.0.1:" + std::to_wstring(HarnessPort("TAVRIN_GPSD_PORT"));
    const std::wstring noFix = L"gpsd://127.0.0.1:" + std::to_wstring(HarnessPort("TAVRIN_GPSD_NOFIX_PORT"));
    const std::wstring empty = L"gpsd://127.0.0.1:" + std::to_wstring(HarnessPort("TAVRIN_GPSD_EMPTY_PORT"));
    const std::wstring tcpHost = L"gpsd://localhost:" + nmeaPort;
    const std::string udpReceiver = std::string(kReceiver) + R"(, "udp_port": )" + Utf8(udpPort) + "}";
    const struct
    {
        const char* name;
        std::wstring port;
        std::string config; // the simulator's
        std::wstring url;   // the browser's URL; empty when nothing is sent
        std::wstring box;   // the one box; empty when none
        const wchar_t* log; // a part of the log after the fix, or null
        bool waitShown;     // the wait lasts long enough to be read
    } cases[] = {
        // Epochs without a fix first: a wait shows its dialog only once it lasts 0.3 s.
        {"serial", L"COM1:", std::string(kReceiver) + R"(, "no_fix_epochs": 4})", kTokyo, L"",
         L"N35.681236 E139.767125 ±5 m", true},
        {"tcp", tcp, std::string(kReceiver) + R"(, "no_fix_epochs": 2, "binary_noise": true})", kTokyo, L"",
         L"N35.681236 E139.767125 ±5 m", false},
        {"udp", udp, udpReceiver, kTokyo, L"", L"N35.681236 E139.767125 ±5 m", false},
        // gpsd's TPV of tools/nmea/sapporo.nmea: its eph of 20.9 m is the accuracy.
        {"gpsd", gpsd, "{}", L"http://map.example.test/w?w=43.068661,141.350755&acc=21", L"",
         L"N43.068661 E141.350755 ±21 m 2026/12/08 12:00:", false},
        {"a place the receiver cannot be", L"tcp://127.0.0.1", "{}", L"",
         L"「tcp://127.0.0.1」にポート番号がありません（例: tcp://192.168.1.20:11123）。", nullptr, false},
        {"refused", closed, "{}", L"",
         closed + L" に接続できません。接続を断られました。受信機のアプリやサーバーが動いているか、ポート番号を確かめて"
                  L"ください。",
         nullptr, false},
        {"a name that does not resolve", L"tcp://no-such-receiver.invalid:10110", "{}", L"",
         L"tcp://no-such-receiver.invalid:10110 のホスト名「no-such-receiver.invalid」が見つかりません。名前と、"
         L"ネットワークへの接続を確かめてください。",
         nullptr, false},
        {"a peer that goes silent", tcp, R"({"tcp_silent": true})", L"", tcp + L" から 4 秒間、何も届きません。",
         nullptr, true},
        {"a peer that closes", tcp, std::string(kReceiver) + R"(, "only_no_fix": true, "tcp_close_after": 1000})", L"",
         tcp + L" が接続を切りました。", nullptr, false},
        {"a peer that speaks no NMEA", tcp, std::string(kReceiver) + R"(, "speed": 38400})", L"",
         tcp + L" から届くものは NMEA の文ではありません。", nullptr, true},
        {"no datagram at all", udp, "{}", L"",
         udp + L" にデータグラムが一つも届きません。送る側の宛先とポート番号、ファイアウォールを確かめてください。",
         nullptr, true},
        {"a receiver at a gpsd address", tcpHost, std::string(kReceiver) + "}", L"",
         tcpHost + L" は gpsd として応答しません。", nullptr, true},
        {"gpsd without a device", empty, "{}", L"", empty + L" の gpsd に受信機がつながっていません。", nullptr, true},
        {"gpsd without a fix", noFix, "{}", L"",
         noFix + L" の gpsd の受信機が 4 秒以内に測位できませんでした。空の見える場所でもう一度お試しください。",
         nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SettingsFile settings = TavrinSession::TestSettings();
        settings.Set(L"URL0", L"今の地図;http://map.example.test/w;w=$wlat,$wlon&acc=$acc");
        settings.Set(L"MODULE", L"NMEA");
        settings.Set(L"PORT", c.port);
        settings.Set(L"FIXWAIT", L"4");
        auto app = StartSession(settings);
        ASSERT_TRUE(app);
        ASSERT_TRUE(WsimConfigure(c.config));
        const std::string sentBefore = WsimTcpReceived();
        const JobSeen seen = GetAndSend(*app);
        if (c.box.empty()) {
            EXPECT_TRUE(seen.boxes.empty()) << Shown(seen.boxes);
            ASSERT_TRUE(app->WaitBrowserCalls(1, 5000));
            EXPECT_EQ(c.url, app->BrowserCalls()[0]);
        } else {
            ASSERT_EQ(1u, seen.boxes.size()) << Shown(seen.boxes);
            EXPECT_EQ(c.box, seen.boxes[0].text);
            EXPECT_TRUE(app->BrowserCalls().empty());
        }
        if (c.log != nullptr) {
            EXPECT_NE(std::wstring::npos, app->Log().find(c.log)) << Utf8(app->Log());
        }
        if (c.waitShown) {
            EXPECT_FALSE(seen.waitTexts.empty());
        }
        for (const std::wstring& text : seen.waitTexts) {
            EXPECT_EQ(L"GNSS受信機（" + c.port + L"）の測位を待っています。", text);
        }
        EXPECT_GT(seen.asked, 0u);
        EXPECT_EQ(0u, seen.unanswered);
        EXPECT_EQ(0u, LookupRequestCount());
        // Nothing ever goes to a tcp:// peer; a peer named as gpsd gets the watch command alone.
        const std::string now = WsimTcpReceived();
        const std::string sent =
            now.compare(0, sentBefore.size(), sentBefore) == 0 ? now.substr(sentBefore.size()) : now;
        EXPECT_EQ(c.port == tcpHost ? "?WATCH={\"enable\":true,\"json\":true}\n" : "", sent);
    }
}
