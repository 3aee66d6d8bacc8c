// The lookup service and the module's port named in the settings file.
#include "acquisition/replace_all.h"
#include "tests/e2e/e2e_common.h"
#include "tests/windows/test_support.h"

#include <fstream>

namespace {

const std::wstring kExpectedUrl = std::wstring(L"http://map.example.test/show?pos=") + kDefaultPosition;

// The Host line of the stand-in's last request ("" when there was none).
std::string LastRequestHost()
{
    const auto requests = Lookup().Requests();
    if (requests.empty()) {
        return std::string();
    }
    for (const std::string& line : requests.back()) {
        if (line.rfind("Host: ", 0) == 0) {
            return line.substr(6);
        }
    }
    return std::string();
}

// Saves through the menu (the chooser stand-in names the file) and tells whether the saved
// file is the one the program started from, code unit for code unit.
bool SavesAsRead(TavrinSession& app)
{
    const std::wstring saved = app.Folder() + L"\\saved.ini";
    DeleteFileW(saved.c_str());
    if (!CopyFileW(BuildPath(L"tests\\windows\\chooser\\gsgetfile.dll").c_str(),
                   (app.Folder() + L"\\gsgetfile.dll").c_str(), FALSE)) {
        return false;
    }
    {
        std::ofstream answer((app.Folder() + L"\\gsgetfile.answer").c_str(), std::ios::binary);
        answer.write(reinterpret_cast<const char*>(saved.data()), saved.size() * sizeof(wchar_t));
    }
    if (!app.Press(IDM_SAVE)->Wait(10000) ||
        !WaitFor([&] { return GetFileAttributesW(saved.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000)) {
        return false;
    }
    const std::wstring read = ReadUtf16(app.SettingsPath());
    const std::wstring written = ReadUtf16(saved);
    EXPECT_EQ(Utf8(read), Utf8(written));
    return !read.empty() && read == written;
}

// Get and send on `settings`; the boxes it raised.
std::vector<MessageBoxSeen> GetAndSend(std::unique_ptr<TavrinSession>& app, const SettingsFile& settings)
{
    if (app) {
        app->Stop();
        EXPECT_TRUE(app->WriteSettings(settings) && app->Start());
    } else {
        app = StartSession(settings);
    }
    return app ? app->PressAndAnswer(IDC_GET_AND_SEND) : std::vector<MessageBoxSeen>();
}

} // namespace

TEST(ServiceSetting, NamedServiceIsAskedAndBothKeysAreSavedAsRead)
{
    // The stand-in under another name than the built-in URL's 127.0.0.1, and the module on
    // the second port the harness maps.
    const std::wstring port = std::to_wstring(LookupControl::Port());
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"SERVICEURL", L"http://localhost:" + port + L"/loc1/location");
    settings.Set(L"PORT", L"COM3:");
    std::unique_ptr<TavrinSession> app;
    auto boxes = GetAndSend(app, settings);
    ASSERT_TRUE(app);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ("localhost:" + std::to_string(LookupControl::Port()), LastRequestHost());
    ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
    EXPECT_EQ(kExpectedUrl, app->BrowserCalls()[0]);
    EXPECT_TRUE(SavesAsRead(*app));

    // Not usable: the built-in service is asked, and the value is saved as it was written.
    settings.Set(L"SERVICEURL", L"ftp://localhost:" + port + L"/loc1/location");
    settings.Remove(L"PORT");
    boxes = GetAndSend(app, settings);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ("127.0.0.1:" + std::to_string(LookupControl::Port()), LastRequestHost());
    EXPECT_TRUE(SavesAsRead(*app));

    // Without the keys the file saves without them.
    app->Stop();
    ASSERT_TRUE(app->WriteSettings(TavrinSession::TestSettings()) && app->Start());
    EXPECT_TRUE(SavesAsRead(*app));
}

TEST(ServiceSetting, HttpsServiceIsAskedOverTlsWithTheCertificateChecked)
{
    const std::wstring https = Lookup().HttpsServiceUrl();
    ASSERT_FALSE(https.empty()) << "the stand-in serves no https";
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"SERVICEURL", https);
    std::unique_ptr<TavrinSession> app;
    auto boxes = GetAndSend(app, settings);
    ASSERT_TRUE(app);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ("localhost:" + std::to_string(Lookup().HttpsPort()), LastRequestHost());
    ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
    EXPECT_EQ(kExpectedUrl, app->BrowserCalls()[0]);

    // The same server asked by address: its certificate names another host.
    const size_t before = LookupRequestCount();
    settings.Set(L"SERVICEURL", ReplaceAll(https, L"localhost", L"127.0.0.1"));
    boxes = GetAndSend(app, settings);
    ASSERT_EQ(2u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"HttpSendRequest() Failed. (0x00002f06)", boxes[0].text); // the name does not match
    EXPECT_EQ(L"位置情報の取得に失敗しました。", boxes[1].text);
    EXPECT_EQ(before, LookupRequestCount());
    EXPECT_EQ(1u, app->BrowserCalls().size());
}

TEST(ServiceSetting, NetworkCheckAndConnectionAreForTheNamedService)
{
    const std::wstring named = L"http://lookup.example.test/loc1/location";
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"SERVICEURL", named);
    ResetStandIns();
    TavrinSession app(L"ServiceSetting_Connection");
    // Not connected, and the connection comes up after 2 s: the connecting dialog shows.
    const std::wstring profile = app.Folder() + L"\\device.txt";
    std::ofstream(profile.c_str(), std::ios::binary) << "test = 0x20\nconnect = 0x10@2000\n";
    app.SetEnvironment(L"TAVRIN_DEVICE_SIM", profile);
    ASSERT_TRUE(app.WriteSettings(settings) && app.Start());
    auto command = app.Press(IDC_CONNECT);
    HWND dialog = app.WaitDialogWith(IDC_PROGRESS_TEXT, 10000);
    ASSERT_NE(nullptr, dialog);
    wchar_t text[256] = {};
    SendDlgItemMessageW(dialog, IDC_PROGRESS_TEXT, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(named + L" へ接続を開始します。", text);
    EXPECT_TRUE(command->Wait(10000));
}

TEST(PortSetting, NamedPortIsOpenedInsteadOfCom1)
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"PORT", L"COM3:");
    auto app = StartSession(settings);
    ASSERT_TRUE(app);
    // COM1: cannot be opened; COM3: leads to the same simulator.
    ASSERT_TRUE(WsimSetDevice(WsimDevice::Gone));
    auto boxes = app->PressAndAnswer(IDC_GET_LOCATION);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n", app->Log());

    // A port that does not exist: the box names it.
    settings.Set(L"PORT", L"COM8:");
    app->Stop();
    ASSERT_TRUE(app->WriteSettings(settings) && app->Start());
    boxes = app->PressAndAnswer(IDC_GET_LOCATION);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(L"CreateFile failed: COM8:", boxes[0].text) << Shown(boxes);
    EXPECT_EQ(L"", app->Log());
    EXPECT_TRUE(WsimSetDevice(WsimDevice::Module));
}
