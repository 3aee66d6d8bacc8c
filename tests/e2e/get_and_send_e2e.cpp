// "取得～送信": acquisition, the wait of automatic connection, send; and the run at start-up.
#include "tests/e2e/e2e_common.h"

#include <iostream>

namespace {

SettingsFile WithWait(const wchar_t* autoConnect, const wchar_t* wait)
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"AUTOCONNECT", autoConnect);
    settings.Set(L"CONNECTWAIT", wait);
    return settings;
}

// Runs get and send and returns how long the command took, in ms.
DWORD TimedGetAndSend(TavrinSession& app, std::vector<MessageBoxSeen>& boxes)
{
    const DWORD start = GetTickCount();
    boxes = app.PressAndAnswer(IDC_GET_AND_SEND);
    return GetTickCount() - start;
}

const std::wstring kExpectedUrl = std::wstring(L"http://map.example.test/show?pos=") + kDefaultPosition;
const std::wstring kExpectedLog = std::wstring(kDefaultCsId) + L"\r\n" + kDefaultPosition + L"\r\n";

} // namespace

TEST(GetAndSend, WaitsTheConfiguredTimeOnlyWithAutomaticConnection)
{
    struct Case
    {
        const wchar_t* autoConnect;
        const wchar_t* wait;
        DWORD atLeast; // a lower bound only: a busy machine makes everything slower
        DWORD below;   // 0: no upper bound
    };
    const Case cases[] = {
        {L"TRUE", L"2500", 2500, 0},
        {L"FALSE", L"8000", 0, 8000}, // without automatic connection the field does not count
        {L"TRUE", L"0", 0, 8000},
        {L"TRUE", L"-1", 0, 8000}, // a hand-edited negative wait is no wait
    };
    for (const Case& c : cases) {
        auto app = StartSession(WithWait(c.autoConnect, c.wait));
        ASSERT_TRUE(app);
        std::vector<MessageBoxSeen> boxes;
        const DWORD took = TimedGetAndSend(*app, boxes);
        std::cout << "get and send, AUTOCONNECT=" << Utf8(c.autoConnect) << " CONNECTWAIT=" << Utf8(c.wait) << ": "
                  << took << " ms" << std::endl;
        EXPECT_TRUE(boxes.empty()) << Shown(boxes);
        EXPECT_GE(took, c.atLeast) << Utf8(c.wait);
        if (c.below != 0) {
            EXPECT_LT(took, c.below) << Utf8(c.wait);
        }
        EXPECT_EQ(kExpectedLog, app->Log());
        ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
        EXPECT_EQ(kExpectedUrl, app->BrowserCalls()[0]);
        app->Stop();
    }
}

TEST(GetAndSend, CancelledAcquisitionNeitherWaitsNorSends)
{
    auto app = StartSession(WithWait(L"TRUE", L"8000"));
    ASSERT_TRUE(app);
    const size_t lookupsBefore = LookupRequestCount();
    ASSERT_TRUE(WsimConfigure(R"({"silent": true})"));

    auto command = app->Press(IDC_GET_AND_SEND);
    HWND progress = app->WaitDialogWith(1015, 10000);
    ASSERT_NE(nullptr, progress);
    const DWORD cancelled = GetTickCount();
    EXPECT_TRUE(TavrinSession::Answer(progress, IDCANCEL));
    EXPECT_TRUE(command->Wait(6000));
    EXPECT_LT(GetTickCount() - cancelled, 6000u);

    EXPECT_EQ(L"", app->Log());
    EXPECT_EQ(lookupsBefore, LookupRequestCount());
    EXPECT_FALSE(app->WaitBrowserCalls(1, 1000));
}

TEST(GetAndSend, TypedSettingsCountWithoutSaving)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    // What the user sets on screen is what the command uses.
    app->SetChecked(IDC_AUTO_CONNECT, true);
    app->SetText(IDC_CONNECT_WAIT, L"1500");
    app->SelectCombo(IDC_URL_COMBO, 1);
    std::vector<MessageBoxSeen> boxes;
    const DWORD took = TimedGetAndSend(*app, boxes);
    std::cout << "get and send with 1500 typed into the wait field: " << took << " ms" << std::endl;
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_GE(took, 1500u);
    ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
    EXPECT_EQ(L"http://map.example.test/pl?el=139.45.00.000&nl=35.41.12.000", app->BrowserCalls()[0]);
    EXPECT_EQ(L"1500", app->Text(IDC_CONNECT_WAIT));
    EXPECT_TRUE(app->Checked(IDC_AUTO_CONNECT));
    EXPECT_EQ(1, app->ComboSelection(IDC_URL_COMBO));
}

TEST(StartupRun, SavedStartupBoxRunsGetAndSendOnce)
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"STARTUPALL", L"TRUE");
    auto app = StartSession(settings);
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->WaitBrowserCalls(1, 20000));
    EXPECT_EQ(kExpectedUrl, app->BrowserCalls()[0]);
    EXPECT_TRUE(WaitFor([&] { return app->Log() == kExpectedLog; }, 5000)) << Utf8(app->Log());
    EXPECT_TRUE(app->Checked(IDC_STARTUP_ALL));

    // Once only.
    Sleep(2000);
    EXPECT_EQ(1u, app->BrowserCalls().size());
    EXPECT_EQ(1, CountOf(WsimCommands(), "AT@K20"));
    EXPECT_EQ(kExpectedLog, app->Log());
}
