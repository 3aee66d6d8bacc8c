// A GNSS receiver on the port instead of the W-SIM (MODULE=NMEA): the first fix goes to the
// map, whatever else the receiver sends, and a receiver that gives none says so.
#include "tests/e2e/e2e_common.h"

namespace {

const wchar_t kPort[] = L"COM1:";

SettingsFile ReceiverSettings()
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"URL0",
                 L"今の地図;http://map.example.test/w;w=$wlat,$wlon&acc=$acc&nl=$nl&el=$el&d=$dlat,$dlon&pc=$pc");
    settings.Set(L"MODULE", L"NMEA");
    settings.Set(L"FIXWAIT", L"4");
    return settings;
}

// The map URL of a position near Tokyo station as the receiver gives it (WGS 84), with the
// Tokyo datum's forms beside it. Its RMC comes first in each epoch, as a u-blox receiver sends
// it, and tells no accuracy: $acc waits for the epoch's GGA, whose HDOP of 0.9 gives 5 m.
const wchar_t kTokyoUrl[] = L"http://map.example.test/w?w=35.681236,139.767125&acc=5&nl=35.40.40.788&"
                            L"el=139.46.13.293&d=35.677997,139.770359&pc=";

struct ReceiverCase
{
    const char* name;
    const char* receiver;   // the simulator's config
    const wchar_t* baud;    // BAUD, or null
    const wchar_t* url;     // the browser's URL, or null when nothing is sent
    const wchar_t* box;     // the box that ends the wait, or null
    const wchar_t* logPart; // a part of the log after the fix, or null
};

const ReceiverCase kCases[] = {
    {"a fix after three epochs without one", R"({"module": "nmea", "interval_ms": 200, "no_fix_epochs": 3})", nullptr,
     kTokyoUrl, nullptr, L"N35.681236 E139.767125 ±5 m 2024/04/01 12:04:"},
    // GGA first: its HDOP of 1.8 gives 9 m; the date comes with the epoch's RMC after it.
    {"a GPS-only receiver's log, stale position with status V first",
     R"({"module": "nmea", "interval_ms": 250, "nmea_log": "sirf_gp.nmea"})", nullptr,
     L"http://map.example.test/w?w=35.443700,139.638000&acc=9&nl=35.26.25.575&el=139.38.28.369&"
     L"d=35.440437,139.641214&pc=",
     nullptr, L"N35.443700 E139.638000 ±9 m 2024/04/01 12:04:07 JST"},
    // RMC first, the GST last in the epoch: σ 3.5 m and 3.9 m give 5 m (GGA's HDOP would give 7).
    {"a u-blox receiver's log after a cold start",
     R"({"module": "nmea", "interval_ms": 250, "nmea_log": "cold_start.nmea"})", nullptr,
     L"http://map.example.test/w?w=35.681235,139.767125&acc=5&nl=35.40.40.786&el=139.46.13.293&"
     L"d=35.677996,139.770359&pc=",
     nullptr, L"N35.681235 E139.767125 ±5 m 2024/04/01 12:04:09 JST"},
    // RMC first, then GGA with HDOP 1.26: 6 m.
    {"an MTK receiver's log", R"({"module": "nmea", "interval_ms": 250, "nmea_log": "mtk.nmea"})", nullptr,
     L"http://map.example.test/w?w=35.170915,136.881537&acc=6&nl=35.10.03.692&el=136.53.04.213&"
     L"d=35.167692,136.884504&pc=",
     nullptr, L"N35.170915 E136.881537 ±6 m 2024/04/01 12:04:07 JST"},
    // Taken as gpsd takes it, but the log says what it is.
    {"a receiver left in its simulator mode", R"({"module": "nmea", "interval_ms": 200, "fix": {"mode": "S"}})",
     nullptr, kTokyoUrl, nullptr, L"JST（シミュレーターの位置）"},
    {"a wrong checksum carrying another position before the good one",
     R"({"module": "nmea", "interval_ms": 200, "bad_checksum_first": {"lat": 10.5, "lon": 20.5}})", nullptr, kTokyoUrl,
     nullptr, nullptr},
    {"binary frames between the sentences, and lines cut short",
     R"({"module": "nmea", "interval_ms": 200, "binary_noise": true, "cut_lines": true, "no_fix_epochs": 1})", nullptr,
     kTokyoUrl, nullptr, nullptr},
    {"found at 38400 bps by trying the speeds", R"({"module": "nmea", "interval_ms": 200, "speed": 38400})", nullptr,
     kTokyoUrl, nullptr, L"38400 bps"},
    {"a position in the western hemisphere",
     R"({"module": "nmea", "interval_ms": 200, "fix": {"lat": 37.774929, "lon": -122.419416, "hdop": 1.2}})", nullptr,
     L"http://map.example.test/w?w=37.774929,-122.419416&acc=6&nl=37.46.03.261&el=&d=37.767573,-122.414926&pc=",
     nullptr, L"N37.774929 W122.419416"},
    {"status V only: no fix within FIXWAIT", R"({"module": "nmea", "interval_ms": 200, "only_no_fix": true})", L"9600",
     nullptr, L"GNSS受信機が 4 秒以内に測位できませんでした。空の見える場所でもう一度お試しください。", nullptr},
    // Answered いいえ: nothing more happens.
    {"silence: no receiver on the port", R"({"module": "nmea", "nmea_silent": true})", nullptr, nullptr,
     L"COM1: の GNSS受信機から応答がありません。受信機の接続と電源を確かめてください。\n"
     L"つながっているポートと速度を探しますか？",
     nullptr},
};

} // namespace

TEST(Receiver, TheFirstFixGoesToTheMapAndAWaitWithoutOneSaysWhy)
{
    for (const ReceiverCase& c : kCases) {
        SCOPED_TRACE(c.name);
        SettingsFile settings = ReceiverSettings();
        if (c.baud != nullptr) {
            settings.Set(L"BAUD", c.baud);
        }
        auto app = StartSession(settings);
        ASSERT_TRUE(app);
        ASSERT_TRUE(WsimConfigure(c.receiver));
        std::vector<MessageBoxSeen> boxes = app->PressAndAnswer(IDC_GET_AND_SEND, IDOK, 30000);
        if (c.box != nullptr) {
            ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
            EXPECT_EQ(c.box, boxes[0].text);
            EXPECT_TRUE(app->BrowserCalls().empty());
        } else {
            EXPECT_TRUE(boxes.empty()) << Shown(boxes);
            ASSERT_TRUE(app->WaitBrowserCalls(1, 5000));
            EXPECT_EQ(c.url, app->BrowserCalls()[0]);
        }
        if (c.logPart != nullptr) {
            EXPECT_NE(std::wstring::npos, app->Log().find(c.logPart)) << Utf8(app->Log());
        }
        // Nothing was ever asked of the lookup service.
        EXPECT_EQ(0u, LookupRequestCount());
        // The port is free again: another program can open it.
        HANDLE port = CreateFileW(kPort, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, port);
        CloseHandle(port);
    }
}

TEST(Receiver, WithoutAccInTheUrlTheBrowserStartsAtOnceAndTheAccuracyIsLoggedWhenItComes)
{
    SettingsFile settings = ReceiverSettings();
    settings.Set(L"URL0", L"今の地図;http://map.example.test/w;w=$wlat,$wlon");
    settings.Set(L"URL1", L"精度つき;http://map.example.test/w;w=$wlat,$wlon&acc=$acc");
    auto app = StartSession(settings);
    ASSERT_TRUE(app);
    // The GST comes last in each epoch; the first epoch heard holds the fix.
    ASSERT_TRUE(WsimConfigure(R"({"module": "nmea", "interval_ms": 300, "fix": {"gst": [6.0, 8.0, 9.0]}})"));
    EXPECT_TRUE(app->PressAndAnswer(IDC_GET_AND_SEND, IDOK, 30000).empty());
    ASSERT_TRUE(app->WaitBrowserCalls(1, 5000));
    EXPECT_EQ(L"http://map.example.test/w?w=35.681236,139.767125", app->BrowserCalls()[0]);
    EXPECT_NE(std::wstring::npos, app->Log().find(L"N35.681236 E139.767125 ±10 m 2024/04/01 12:04:"))
        << Utf8(app->Log());
    // The port closed after the epoch was read.
    HANDLE port = CreateFileW(kPort, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, port);
    CloseHandle(port);
    // "送信" to an entry with $acc sends the accuracy the epoch gave.
    ASSERT_TRUE(WsimConfigure(R"({"module": "nmea", "nmea_silent": true})"));
    app->SelectCombo(IDC_URL_COMBO, 1);
    EXPECT_TRUE(app->PressAndAnswer(IDC_SEND).empty());
    ASSERT_TRUE(app->WaitBrowserCalls(2, 5000));
    EXPECT_EQ(L"http://map.example.test/w?w=35.681236,139.767125&acc=10", app->BrowserCalls()[1]);
}

TEST(Receiver, AbortEndsTheWaitAndSendRepeatsTheLastFix)
{
    auto app = StartSession(ReceiverSettings());
    ASSERT_TRUE(app);
    // "中断" while the receiver has no fix yet: nothing is sent, the port is closed.
    ASSERT_TRUE(WsimConfigure(R"({"module": "nmea", "interval_ms": 200, "only_no_fix": true})"));
    auto command = app->Press(IDC_GET_LOCATION);
    HWND dialog = app->WaitDialogWith(IDC_PROGRESS_TEXT, 5000);
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"測位中…", TextOf(dialog));
    EXPECT_EQ(L"GNSS受信機（COM1:）の測位を待っています。", TextOf(GetDlgItem(dialog, IDC_PROGRESS_TEXT)));
    Sleep(1000);
    EXPECT_TRUE(TavrinSession::Answer(dialog, IDCANCEL));
    EXPECT_TRUE(command->Wait(3000));
    HANDLE port = CreateFileW(kPort, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, port);
    CloseHandle(port);
    // "送信" before any fix is refused; after one, it sends that position again.
    std::vector<MessageBoxSeen> boxes = app->PressAndAnswer(IDC_SEND);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"GNSS受信機で位置を取得してください。", boxes[0].text);
    ASSERT_TRUE(WsimConfigure(R"({"module": "nmea", "interval_ms": 200})"));
    EXPECT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
    ASSERT_TRUE(WsimConfigure(R"({"module": "nmea", "nmea_silent": true})"));
    EXPECT_TRUE(app->PressAndAnswer(IDC_SEND).empty());
    EXPECT_TRUE(app->PressAndAnswer(IDC_SEND).empty());
    ASSERT_TRUE(app->WaitBrowserCalls(2, 5000));
    EXPECT_EQ(kTokyoUrl, app->BrowserCalls()[0]);
    EXPECT_EQ(kTokyoUrl, app->BrowserCalls()[1]);
}

// A fix that arrives while the no-fix box is up is never sent: the wait ended when the box came,
// its port closed first, and nothing reaches it afterwards.
TEST(Receiver, AFixThatComesWhileTheNoFixBoxIsUpIsNeverSent)
{
    SettingsFile settings = ReceiverSettings();
    settings.Set(L"FIXWAIT", L"2");
    settings.Set(L"BAUD", L"9600");
    auto app = StartSession(settings);
    ASSERT_TRUE(app);
    ASSERT_TRUE(WsimConfigure(R"({"module": "nmea", "interval_ms": 200, "only_no_fix": true})"));
    auto command = app->Press(IDC_GET_AND_SEND);
    MessageBoxSeen box;
    ASSERT_TRUE(app->WaitMessageBox(box, 15000));
    EXPECT_EQ(L"GNSS受信機が 2 秒以内に測位できませんでした。空の見える場所でもう一度お試しください。", box.text);
    // The receiver fixes now, epoch after epoch, while the user reads the box.
    ASSERT_TRUE(WsimConfigure(R"({"module": "nmea", "interval_ms": 200})"));
    Sleep(1500);
    EXPECT_TRUE(TavrinSession::Answer(box.box, IDOK));
    EXPECT_TRUE(command->Wait(5000));
    Sleep(500);
    EXPECT_TRUE(app->BrowserCalls().empty());
    EXPECT_EQ(std::wstring::npos, app->Log().find(L"N35.681236")) << Utf8(app->Log());
    EXPECT_TRUE(app->Dialogs().empty());
}
