// The decimal placeholders through the program, on both paths.
#include "tests/e2e/e2e_common.h"

TEST(TodayMaps, DecimalPlaceholdersOnBothPathsAndMinutesOf99)
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"URL0", L"十進;http://map.example.test/d;$dlat,$dlon,$wlat,$wlon|$nl,$nml,$el");
    auto app = StartSession(settings);
    ASSERT_TRUE(app);
    size_t sends = 0;
    auto sendBothPaths = [&]() {
        for (bool simple : {false, true}) {
            app->SetChecked(IDC_LOCATE_EASY, simple);
            auto boxes = app->PressAndAnswer(IDC_GET_AND_SEND);
            EXPECT_TRUE(boxes.empty()) << Shown(boxes);
            EXPECT_TRUE(app->WaitBrowserCalls(++sends, 10000)); // one at a time, so in order
        }
    };
    ASSERT_TRUE(WsimConfigure(R"({"coordinates": ["N34:41:10", "E135:30:05"]})"));
    sendBothPaths();
    ASSERT_TRUE(WsimConfigure(R"({"stations": ["9,9"], "coordinates": ["N35:99:12", "E139:45:00"]})"));
    Lookup().Configure(R"({"table": {"9/9": "N35.99.12.000E139.45.00.000"}})");
    sendBothPaths();

    const std::wstring minutes99 = L"http://map.example.test/d?,139.750000,,|35.99.12.000,35/99/12.000,139.45.00.000";
    EXPECT_EQ((std::vector<std::wstring>{
                  L"http://map.example.test/d?35.686667,139.750000,35.689904,139.746767"
                  L"|35.41.12.000,35/41/12.000,139.45.00.000",
                  L"http://map.example.test/d?34.686111,135.501389,34.689356,135.498560"
                  L"|34.41.10.000,34/41/10.000,135.30.05.000",
                  minutes99,
                  minutes99,
              }),
              app->BrowserCalls());
}

TEST(TodayMapsRecipe, OpenedAndSavedAsDefaultKeepsTheKeysOfThisMachine)
{
    const std::wstring keys[] = {L"SERVICEURL=https://localhost:1/loc1/location", L"PORT=COM3:", L"LOOKUPCACHE=TRUE"};
    SettingsFile settings = TavrinSession::TestSettings();
    for (const std::wstring& line : keys) {
        settings.Set(line.substr(0, line.find(L'=')), line.substr(line.find(L'=') + 1));
    }
    auto app = StartSession(settings);
    ASSERT_TRUE(app);
    const std::wstring today = app->Folder() + L"\\today_maps.ini";
    ASSERT_TRUE(CopyFileW(BuildPath(L"today_maps.ini").c_str(), today.c_str(), FALSE));

    // The guide's recipe: "開く" today_maps.ini, "保存" as default.ini, start again.
    ChooseFile(*app, today);
    auto boxes = app->PressAndAnswer(IDM_OPEN);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    ASSERT_EQ(L"OpenStreetMap", app->ComboItems(IDC_URL_COMBO).at(0));
    ChooseFile(*app, app->SettingsPath());
    boxes = app->PressAndAnswer(IDM_SAVE);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    app->Stop();
    ASSERT_TRUE(app->Start());

    EXPECT_EQ(L"OpenStreetMap", app->ComboItems(IDC_URL_COMBO).at(0));
    EXPECT_EQ(L"InternetExplorer", app->ComboItems(IDC_BROWSER_COMBO).at(0)); // the file's, not the test's
    const std::wstring saved = ReadUtf16(app->SettingsPath());
    for (const std::wstring& line : keys) {
        EXPECT_NE(std::wstring::npos, saved.find(L"\r\n" + line + L"\r\n")) << Utf8(line);
    }
}
