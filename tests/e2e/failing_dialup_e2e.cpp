// Dial-up and Connection Manager peers that misbehave: neither a hang-up that fails or never
// completes nor a Connection Manager call that blocks past the stop limit may freeze the
// program or cost a result.
#include "tests/e2e/e2e_common.h"

TEST(FailingDialup, ALineThatStaysUpIsSaidAndNoAcquisitionStarts)
{
    for (const char* hangUp : {"hangup = never\n", "hangup = fail\n"}) {
        SCOPED_TRACE(hangUp);
        auto app = StartWithDevice(std::string("dialup = connected\n") + hangUp);
        ASSERT_TRUE(app);
        // The question, then the disconnect ends within its bound and says the line is still up.
        auto boxes = app->PressAndAnswer(IDC_GET_LOCATION, IDYES, 20000);
        ASSERT_EQ(2u, boxes.size()) << Shown(boxes);
        EXPECT_EQ(L"回線を切断できませんでした。", boxes[1].text);
        EXPECT_EQ(L"Error", boxes[1].caption);
        // The module is never asked while it may still be in a call.
        EXPECT_EQ(L"", app->Log());
        EXPECT_EQ(0, CountOf(WsimCommands(), "AT@K20"));
        // The line is still up, and the program still answers.
        EXPECT_TRUE(CaptionBecomes(*app, L"切断"));
        boxes = app->PressAndAnswer(IDC_GET_LOCATION, IDNO, 20000);
        EXPECT_EQ(1u, boxes.size()) << Shown(boxes);
    }
}

TEST(FailingDialup, AConnectionManagerCallThatBlocksPastTheStopLimitLosesNoSend)
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"AUTOCONNECT", L"TRUE");
    // The network never shows as usable, so every send connects. Giving a connection back
    // takes longer than the stop limit, so the first worker outlives the second send's stop;
    // the second connection comes up only after that worker has ended.
    auto app = StartWithDevice("test = 0x20\nconnect = 0x10 ; 0x10@2000\nblock = release@3500\n", settings);
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
    for (size_t send = 1; send <= 2; ++send) {
        auto boxes = app->PressAndAnswer(IDC_SEND, IDOK, 20000);
        EXPECT_TRUE(boxes.empty()) << Shown(boxes);
        EXPECT_TRUE(app->WaitBrowserCalls(send, 10000));
    }
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n" + kDefaultPosition + L"\r\n" + kDefaultPosition + L"\r\n",
              app->Log());
}
