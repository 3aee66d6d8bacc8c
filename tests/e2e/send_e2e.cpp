// Getting a location and sending it, as a user does it with the main window's buttons.
#include "tests/e2e/e2e_common.h"

namespace {

const std::wstring kShowUrl = L"http://map.example.test/show";
const std::wstring kSlashUrl = L"http://map.example.test/c/f";

} // namespace

TEST(CsIdSend, GetLogsTheCsIdAndSendOpensTheBrowserOnTheExpandedUrl)
{
    auto app = StartSession();
    ASSERT_TRUE(app);

    auto boxes = app->PressAndAnswer(IDC_GET_LOCATION);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n", app->Log());
    EXPECT_EQ(1, CountOf(WsimCommands(), "AT@K20"));

    boxes = app->PressAndAnswer(IDC_SEND);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n" + kDefaultPosition + L"\r\n", app->Log());
    ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
    EXPECT_EQ(kShowUrl + L"?pos=" + kDefaultPosition, app->BrowserCalls()[0]);

    // The same value again, through the slash template; no new acquisition.
    app->SelectCombo(IDC_URL_COMBO, 2);
    boxes = app->PressAndAnswer(IDC_SEND);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    ASSERT_TRUE(app->WaitBrowserCalls(2, 10000));
    EXPECT_EQ(kSlashUrl + L"?size=450,400&el=139/45/00.000&nl=35/41/12.000&pc=", app->BrowserCalls()[1]);
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n" + kDefaultPosition + L"\r\n" + kDefaultPosition + L"\r\n",
              app->Log());
    EXPECT_EQ(1, CountOf(WsimCommands(), "AT@K20"));
    EXPECT_EQ(2u, app->BrowserCalls().size());
}

TEST(CsIdSend, WithoutBrowserOrBrowserFileThePositionIsLoggedAndNothingStarts)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());

    app->SetChecked(IDC_AUTO_BROWSER, false);
    auto boxes = app->PressAndAnswer(IDC_SEND);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_FALSE(app->Checked(IDC_AUTO_BROWSER)); // the log refresh keeps what was ticked

    // Browser started, but its entry names no program file.
    app->SetChecked(IDC_AUTO_BROWSER, true);
    app->SelectCombo(IDC_BROWSER_COMBO, 1);
    boxes = app->PressAndAnswer(IDC_SEND);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);

    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n" + kDefaultPosition + L"\r\n" + kDefaultPosition + L"\r\n",
              app->Log());
    EXPECT_FALSE(app->WaitBrowserCalls(1, 2000));
}

TEST(CsIdSend, BrowserThatCannotStartIsNamedAndThePositionStaysLogged)
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"BROWSER0", L"存在しない;Z:\\nonexistent\\browser.exe");
    auto app = StartSession(settings);
    ASSERT_TRUE(app);
    auto boxes = app->PressAndAnswer(IDC_GET_AND_SEND);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"ブラウザを起動できませんでした。\nZ:\\nonexistent\\browser.exe\nファイルが見つかりません。",
              boxes[0].text);
    EXPECT_EQ(L"Error", boxes[0].caption);
    EXPECT_EQ(app->MainWindow(), boxes[0].owner);
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n" + kDefaultPosition + L"\r\n", app->Log());
}

TEST(SimpleCoordinatesSend, TickedBoxSendsTheModulesCoordinatesWithoutLookup)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    ASSERT_TRUE(WsimConfigure(R"({"coordinates": ["N35:41:12", "E139:45:00", "X12"]})"));
    const size_t lookupsBefore = LookupRequestCount();

    app->SetChecked(IDC_LOCATE_EASY, true);
    auto boxes = app->PressAndAnswer(IDC_GET_LOCATION);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    const std::wstring coordinates = L"N35.41.12.000E139.45.00.000/X12";
    EXPECT_EQ(coordinates + L"\r\n", app->Log());
    EXPECT_EQ(1, CountOf(WsimCommands(), "AT@LBC1"));
    EXPECT_EQ(1, CountOf(WsimCommands(), "AT@LBC?"));

    app->SelectCombo(IDC_URL_COMBO, 2);
    boxes = app->PressAndAnswer(IDC_SEND);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ(coordinates + L"\r\n" + kDefaultPosition + L"\r\n", app->Log());
    ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
    EXPECT_EQ(kSlashUrl + L"?size=450,400&el=139/45/00.000&nl=35/41/12.000&pc=X12", app->BrowserCalls()[0]);

    app->SelectCombo(IDC_URL_COMBO, 1);
    ASSERT_TRUE(app->PressAndAnswer(IDC_SEND).empty());
    ASSERT_TRUE(app->WaitBrowserCalls(2, 10000));
    EXPECT_EQ(L"http://map.example.test/pl?el=139.45.00.000&nl=35.41.12.000", app->BrowserCalls()[1]);
    EXPECT_EQ(lookupsBefore, LookupRequestCount());

    // Clearing the box switches the send to the CS-ID, of which there is none yet.
    app->SetChecked(IDC_LOCATE_EASY, false);
    boxes = app->PressAndAnswer(IDC_SEND);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"CS-IDを取得してください。", boxes[0].text);
}
