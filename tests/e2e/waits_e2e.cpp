// The window answers while the program waits, every wait ends, and closing the window ends the
// program: on a slow PHS line the screen must never freeze.
#include "tests/e2e/e2e_common.h"

#include <fstream>
#include <iostream>

namespace {

// Posts a new highlight state to a button the program never touches itself, then reads it
// back. The read is a sent message, which even a loop that only peeks answers; the posted one
// waits in the queue with the clicks, keys and paints until the window takes it.
bool TakesPostedMessageWithin(const TavrinSession& app, bool pushed, DWORD ms)
{
    HWND button = app.Control(IDC_URL_EDIT);
    PostMessageW(button, BM_SETSTATE, pushed, 0);
    return WaitFor([&] { return ((SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0) == pushed; }, ms);
}

// Closing the window, as the system asks a program to: the process must be gone soon after.
bool ClosesWithin(TavrinSession& app, DWORD ms)
{
    PostMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
    return app.WaitForExit(ms);
}

// The caption and text line of the progress dialog that is up, as "caption|text".
std::wstring ProgressShown(const TavrinSession& app)
{
    HWND dialog = app.WaitDialogWith(IDC_PROGRESS_TEXT, 1000);
    return dialog != nullptr ? TextOf(dialog) + L"|" + TextOf(GetDlgItem(dialog, IDC_PROGRESS_TEXT))
                             : L"no progress dialog";
}

struct WaitCase
{
    const char* name;
    const char* device; // device simulation profile; null: always online
    const char* lookup; // the lookup stand-in's behaviour
    bool autoConnect;
    const wchar_t* connectWait;
    int button;
    DWORD watchMs;           // how long the window is watched while the wait goes on
    const wchar_t* failure;  // the box that ends the wait by itself (within 30 s), or null
    const wchar_t* progress; // what the progress dialog shows while the wait goes on, or null
};

const WaitCase kWaits[] = {
    {"header lines trickle", nullptr, R"({"mode": "trickle_headers", "trickle_interval": 2})", false, L"0", IDC_SEND, 0,
     L"HttpSendRequest() Failed. (0x00002ee2)", nullptr},
    {"the service never answers", nullptr, R"({"mode": "stall", "stall_seconds": 120})", false, L"0", IDC_SEND, 3000,
     nullptr, L"送信中…|位置情報を問い合わせています。"},
    {"a wait of 20 s before the send", nullptr, "{}", true, L"20000", IDC_GET_AND_SEND, 3000, nullptr,
     L"待機中…|送信の前に 20000 ミリ秒待ちます。"},
    {"establishing blocks for a minute", "test = 0x20\nblock = establish@60000\n", "{}", true, L"0", IDC_SEND, 3000,
     nullptr, nullptr},
};

} // namespace

TEST(Waits, TheWindowAnswersEveryWaitEndsAndClosingEndsTheProgram)
{
    for (const WaitCase& c : kWaits) {
        SCOPED_TRACE(c.name);
        SettingsFile settings = TavrinSession::TestSettings();
        settings.Set(L"AUTOCONNECT", c.autoConnect ? L"TRUE" : L"FALSE");
        settings.Set(L"CONNECTWAIT", c.connectWait);
        auto app = c.device != nullptr ? StartWithDevice(c.device, settings) : StartSession(settings);
        ASSERT_TRUE(app);
        if (c.button == IDC_SEND) {
            ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
        }
        Lookup().Configure(c.lookup);

        auto command = app->Press(c.button);
        const DWORD start = GetTickCount();
        std::vector<MessageBoxSeen> boxes;
        for (bool probe = true; c.failure != nullptr ? boxes.empty() && GetTickCount() - start < 40000
                                                     : GetTickCount() - start < c.watchMs;
             probe = !probe) {
            EXPECT_TRUE(TakesPostedMessageWithin(*app, probe, 500)) << "at " << GetTickCount() - start << " ms";
            MessageBoxSeen seen;
            if (app->WaitMessageBox(seen, 1000)) {
                boxes.push_back(seen);
            }
        }
        if (c.failure != nullptr) {
            const DWORD took = GetTickCount() - start;
            std::cout << c.name << ": failure box after " << took << " ms" << std::endl;
            EXPECT_LT(took, 31000u); // the deadline is 30 s; the probe's own second on top
            ASSERT_FALSE(boxes.empty());
            EXPECT_EQ(c.failure, boxes[0].text);
            TavrinSession::Answer(boxes[0].box, IDOK);
            MessageBoxSeen second;
            ASSERT_TRUE(app->WaitMessageBox(second, 5000));
            EXPECT_EQ(L"位置情報の取得に失敗しました。", second.text);
            TavrinSession::Answer(second.box, IDOK);
            EXPECT_TRUE(command->Wait(5000));
            EXPECT_TRUE(app->BrowserCalls().empty());
            // Once more, and this time the window is closed while the lookup waits.
            const size_t asked = LookupRequestCount();
            command = app->Press(c.button);
            EXPECT_TRUE(WaitFor([&] { return LookupRequestCount() > asked; }, 5000));
        } else {
            EXPECT_TRUE(boxes.empty()) << Shown(boxes);
            EXPECT_FALSE(command->Done());
            if (c.progress != nullptr) {
                EXPECT_EQ(c.progress, ProgressShown(*app));
            }
        }
        EXPECT_TRUE(ClosesWithin(*app, 5000));
    }
}

TEST(Waits, AbortInTheConnectingDialogLeavesNoLineUp)
{
    // Without the abort the line would come up 1.5 s after the request.
    auto app = StartWithDevice("test = 0x20\nconnect = 0x40@0,0x10@1500\ndialup_follows = yes\n");
    ASSERT_TRUE(app);
    auto command = app->Press(IDC_CONNECT);
    HWND dialog = app->WaitDialogWith(IDC_PROGRESS_TEXT, 5000);
    ASSERT_NE(nullptr, dialog);
    Sleep(300);
    EXPECT_TRUE(TavrinSession::Answer(dialog, IDCANCEL));
    EXPECT_TRUE(command->Wait(2000));
    EXPECT_FALSE(CaptionBecomes(*app, L"切断"));
}

TEST(Waits, ASettingsFileAbove16MiBIsRefusedBeforeItIsRead)
{
    auto app = std::make_unique<TavrinSession>(L"Waits_HugeSettings");
    ResetStandIns();
    {
        std::ofstream out((app->Folder() + L"\\default.ini").c_str(), std::ios::binary | std::ios::trunc);
        out << "\xFF\xFE";
        const std::string line("U\0R\0L\0"
                               "0\0=\0"
                               "x\0\r\0\n\0",
                               16); // "URL0=x" CR LF
        for (size_t written = 2; written <= 16u * 1024 * 1024; written += line.size()) {
            out << line;
        }
    }
    ASSERT_TRUE(app->Start());
    MessageBoxSeen seen;
    ASSERT_TRUE(app->WaitMessageBox(seen, 5000));
    EXPECT_EQ(L"設定ファイルを読み込めませんでした。\n" + app->SettingsPath() +
                  L"\nファイルが大きすぎます（16 MB まで）。",
              seen.text);
    TavrinSession::Answer(seen.box, IDOK);
    // The factory settings are in use.
    EXPECT_EQ(5u, app->ComboItems(IDC_URL_COMBO).size());
}
