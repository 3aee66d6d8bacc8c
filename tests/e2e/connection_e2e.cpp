// The data connection around the commands, with the device simulation giving the handset's
// Connection Manager and dial-up list.
#include "tests/e2e/e2e_common.h"

namespace {

// Runs a command and tells whether a progress dialog (acquisition or connection) showed.
bool ShowsProgress(TavrinSession& app, int button, std::wstring& caption)
{
    auto command = app.Press(button);
    bool shown = false;
    const DWORD start = GetTickCount();
    while (!command->Done() && GetTickCount() - start < 30000) {
        if (HWND dialog = app.WaitDialogWith(1015, 20)) {
            shown = true;
            wchar_t text[64] = {};
            GetWindowTextW(dialog, text, 64);
            if (caption.empty()) {
                caption = text;
            }
        }
    }
    EXPECT_TRUE(command->Done());
    if (!command->Done()) {
        app.Stop();
    }
    return shown;
}

} // namespace

TEST(DeviceConnection, GetLocationWhileConnectedAsksToDisconnect)
{
    auto app = StartWithDevice("dialup = connected\n");
    ASSERT_TRUE(app);
    EXPECT_TRUE(CaptionBecomes(*app, L"切断"));

    auto boxes = app->PressAndAnswer(IDC_GET_LOCATION, IDNO);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"接続中です。切断してもよろしいですか？", boxes[0].text);
    EXPECT_EQ(L"確認", boxes[0].caption);
    EXPECT_TRUE(boxes[0].yes && boxes[0].no);
    EXPECT_FALSE(boxes[0].icon);
    EXPECT_EQ(app->MainWindow(), boxes[0].owner);
    EXPECT_EQ(0, CountOf(WsimCommands(), "AT@K20"));
    EXPECT_EQ(L"", app->Log());
    EXPECT_EQ(L"切断", app->Text(IDC_CONNECT));

    boxes = app->PressAndAnswer(IDC_GET_LOCATION, IDYES);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n", app->Log());
    EXPECT_TRUE(CaptionBecomes(*app, L"接続"));

    // No connection any more: no question.
    boxes = app->PressAndAnswer(IDC_GET_LOCATION);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
}

TEST(DeviceConnection, DisconnectWithoutAConnectionObjectGoesOnToAcquire)
{
    // Without destinations the connection object never becomes ready and posts no end of the
    // disconnect: the dialog ends by itself after the hang-ups, as after any cut.
    auto app = StartWithDevice("destinations = 0\ndialup = connected\n");
    ASSERT_TRUE(app);
    auto boxes = app->PressAndAnswer(IDC_GET_LOCATION, IDYES, 20000);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"接続中です。切断してもよろしいですか？", boxes[0].text);
    EXPECT_EQ(1, CountOf(WsimCommands(), "AT@K20"));
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n", app->Log());
    EXPECT_TRUE(CaptionBecomes(*app, L"接続"));
}

TEST(DeviceConnection, ConnectButtonConnectsOnlyWhenTheNetworkIsNotAvailable)
{
    {
        auto app = StartWithDevice("test = 0x20\nconnect = 0x10@300\n");
        ASSERT_TRUE(app);
        std::wstring caption;
        EXPECT_TRUE(ShowsProgress(*app, IDC_CONNECT, caption));
        EXPECT_EQ(L"接続中…", caption);
        EXPECT_TRUE(app->Dialogs().empty());
    }
    {
        auto app = StartWithDevice(""); // always online
        ASSERT_TRUE(app);
        std::wstring caption;
        EXPECT_FALSE(ShowsProgress(*app, IDC_CONNECT, caption)) << Utf8(caption);
        EXPECT_EQ(L"接続", app->Text(IDC_CONNECT));
    }
    {
        // Connected: the button hangs up (too quickly to see its dialog).
        auto app = StartWithDevice("dialup = connected\n");
        ASSERT_TRUE(app);
        EXPECT_TRUE(CaptionBecomes(*app, L"切断"));
        auto boxes = app->PressAndAnswer(IDC_CONNECT);
        EXPECT_TRUE(boxes.empty()) << Shown(boxes);
        EXPECT_TRUE(CaptionBecomes(*app, L"接続"));
    }
}

TEST(DeviceConnection, ConnectButtonBringsTheConnectionUpAndTheCaptionFollows)
{
    // Not connected; the request connects after 0.3 s and then shows as a dial-up connection.
    auto app = StartWithDevice("test = 0x20\nconnect = 0x10@300\ndialup_follows = yes\n");
    ASSERT_TRUE(app);
    EXPECT_EQ(L"接続", app->Text(IDC_CONNECT));
    std::wstring caption;
    EXPECT_TRUE(ShowsProgress(*app, IDC_CONNECT, caption));
    EXPECT_EQ(L"接続中…", caption);
    EXPECT_TRUE(app->Dialogs().empty());
    const DWORD connected = GetTickCount();
    EXPECT_TRUE(CaptionBecomes(*app, L"切断"));
    EXPECT_LE(GetTickCount() - connected, 2000u);

    // "切断" hangs it up again.
    auto boxes = app->PressAndAnswer(IDC_CONNECT);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_TRUE(CaptionBecomes(*app, L"接続"));
}

TEST(DeviceConnection, FailedAutomaticConnectionSendsNothing)
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"AUTOCONNECT", L"TRUE");
    // Not connected; the connection attempt fails half a second after it starts.
    auto app = StartWithDevice("test = 0x20\nconnect = 0x21@500\n", settings);
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
    const size_t lookupsBefore = LookupRequestCount();

    std::wstring caption;
    EXPECT_TRUE(ShowsProgress(*app, IDC_SEND, caption));
    EXPECT_EQ(L"接続中…", caption);
    EXPECT_TRUE(app->Dialogs().empty());
    EXPECT_EQ(lookupsBefore, LookupRequestCount());
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n", app->Log());
    EXPECT_FALSE(app->WaitBrowserCalls(1, 1000));

    // Simple coordinates need no network, yet the send connects first all the same.
    app->SetChecked(IDC_LOCATE_EASY, true);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
    caption.clear();
    EXPECT_TRUE(ShowsProgress(*app, IDC_SEND, caption));
    EXPECT_EQ(L"接続中…", caption);
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n" + kDefaultSimpleCoordinates + L"\r\n", app->Log());
    EXPECT_FALSE(app->WaitBrowserCalls(1, 1000));
}
