// The lookup service and the module's port named in the settings file.
#include "acquisition/replace_all.h"
#include "tests/e2e/e2e_common.h"
#include "tests/windows/test_support.h"

#include <fstream>

namespace {

// Starts the program on `settings` (again, in the same folder), presses "取得～送信" and gives
// the boxes; `host` receives the Host line of the stand-in's last request.
std::vector<MessageBoxSeen> GetAndSend(std::unique_ptr<TavrinSession>& app, const SettingsFile& settings,
                                       std::string& host)
{
    if (!app) {
        app = StartSession(settings);
    } else {
        app->Stop();
        EXPECT_TRUE(app->WriteSettings(settings) && app->Start());
    }
    const auto boxes = app->PressAndAnswer(IDC_GET_AND_SEND);
    const auto requests = Lookup().Requests();
    host = requests.empty() || requests.back().size() < 2 ? std::string() : requests.back()[1];
    return boxes;
}

// Saves through the menu (the chooser stand-in names the file); true when the saved file is
// the one the program started from, code unit for code unit.
bool SavesAsRead(TavrinSession& app)
{
    const std::wstring saved = app.Folder() + L"\\saved.ini";
    DeleteFileW(saved.c_str());
    CopyFileW(BuildPath(L"tests\\windows\\chooser\\gsgetfile.dll").c_str(), (app.Folder() + L"\\gsgetfile.dll").c_str(),
              FALSE);
    std::ofstream((app.Folder() + L"\\gsgetfile.answer").c_str(), std::ios::binary)
        .write(reinterpret_cast<const char*>(saved.data()), saved.size() * sizeof(wchar_t));
    app.Press(IDM_SAVE)->Wait(10000);
    WaitFor([&] { return GetFileAttributesW(saved.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000);
    return ReadUtf16(saved) == ReadUtf16(app.SettingsPath());
}

} // namespace

TEST(ServiceSetting, NamedServiceIsAskedAndTheFileSavesAsRead)
{
    // The stand-in under another name than the built-in 127.0.0.1; the module on COM3:.
    const std::string port = std::to_string(LookupControl::Port());
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"SERVICEURL", L"http://localhost:" + std::wstring(port.begin(), port.end()) + L"/loc1/location");
    settings.Set(L"PORT", L"COM3:");
    std::unique_ptr<TavrinSession> app;
    std::string host;
    auto boxes = GetAndSend(app, settings, host);
    ASSERT_TRUE(app);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ("Host: localhost:" + port, host);
    ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
    EXPECT_EQ(std::wstring(L"http://map.example.test/show?pos=") + kDefaultPosition, app->BrowserCalls()[0]);
    EXPECT_TRUE(SavesAsRead(*app));

    app->Stop();
    ASSERT_TRUE(app->WriteSettings(TavrinSession::TestSettings()) && app->Start());
    EXPECT_TRUE(SavesAsRead(*app)); // without the keys
}

TEST(ServiceSetting, HttpsServiceIsAskedOverTlsWithTheCertificateChecked)
{
    const std::wstring https = Lookup().HttpsServiceUrl();
    ASSERT_FALSE(https.empty()) << "the stand-in serves no https";
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"SERVICEURL", https);
    std::unique_ptr<TavrinSession> app;
    std::string host;
    auto boxes = GetAndSend(app, settings, host);
    ASSERT_TRUE(app);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ("Host: localhost:" + std::to_string(Lookup().HttpsPort()), host);
    EXPECT_TRUE(app->WaitBrowserCalls(1, 10000));

    // The same server asked by address: its certificate names another host.
    const size_t before = LookupRequestCount();
    settings.Set(L"SERVICEURL", ReplaceAll(https, L"localhost", L"127.0.0.1"));
    boxes = GetAndSend(app, settings, host);
    ASSERT_EQ(2u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"HttpSendRequest() Failed. (0x00002f06)", boxes[0].text);
    EXPECT_EQ(before, LookupRequestCount());

    // A typo in the scheme: refused, and the CS-ID goes nowhere, not even to the built-in service.
    settings.Set(L"SERVICEURL", L"htps" + https.substr(5));
    boxes = GetAndSend(app, settings, host);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"設定ファイルの SERVICEURL が正しい URL ではないため、位置検索サービスを使えません。\nSERVICEURL=htps" +
                  https.substr(5),
              boxes[0].text);
    EXPECT_EQ(L"警告", boxes[0].caption);
    EXPECT_EQ(before, LookupRequestCount());
    EXPECT_EQ(1u, app->BrowserCalls().size());
}

TEST(PortSetting, NamedPortIsOpenedInsteadOfCom1)
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"PORT", L"COM3:");
    auto app = StartSession(settings);
    ASSERT_TRUE(app);
    ASSERT_TRUE(WsimSetDevice(WsimDevice::Gone)); // COM1: cannot be opened; COM3: still answers
    auto boxes = app->PressAndAnswer(IDC_GET_LOCATION);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n", app->Log());

    settings.Set(L"PORT", L"COM8:"); // no such port
    app->Stop();
    ASSERT_TRUE(app->WriteSettings(settings) && app->Start());
    boxes = app->PressAndAnswer(IDC_GET_LOCATION);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(L"CreateFile failed: COM8:", boxes[0].text);
    EXPECT_TRUE(WsimSetDevice(WsimDevice::Module));
}
