// The folder the program is started from lends it no code, and a full log keeps what is
// typed at its end.
#include "tests/e2e/e2e_common.h"

TEST(StartingFolder, PlantedChooserLibraryIsNotLoaded)
{
    TavrinSession app(L"StartingFolder_program");
    const std::wstring downloads = BuildPath(L"e2e\\StartingFolder_downloads");
    CreateDirectoryW(downloads.c_str(), nullptr);
    DeleteFileW((downloads + L"\\gsgetfile.log").c_str());
    ASSERT_TRUE(CopyFileW(BuildPath(L"tests\\windows\\chooser\\gsgetfile.dll").c_str(),
                          (downloads + L"\\gsgetfile.dll").c_str(), FALSE));
    app.SetStartFolder(downloads);
    ASSERT_TRUE(app.WriteSettings(TavrinSession::TestSettings()) && app.Start());

    auto open = app.Press(IDM_OPEN);
    HWND dialog = app.WaitDialogWith(0x47c, 20000); // the platform's dialog, by its file name field
    ASSERT_NE(nullptr, dialog);
    EXPECT_TRUE(TavrinSession::Answer(dialog, IDCANCEL));
    EXPECT_TRUE(open->Wait(10000));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((downloads + L"\\gsgetfile.log").c_str()));
}

TEST(FullLog, TextTypedAtItsEndSurvivesTheNextCommand)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    std::wstring log(4096, L'x');
    app->SetText(IDC_LOG, log);
    SendMessageW(app->Control(IDC_LOG), EM_SETSEL, 4096, 4096);
    for (wchar_t c : std::wstring(L"駅前")) {
        SendMessageW(app->Control(IDC_LOG), WM_CHAR, c, 1);
    }
    ASSERT_EQ(log + L"駅前", app->Log());

    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
    log += std::wstring(L"駅前") + kDefaultCsId + L"\r\n";
    EXPECT_EQ(log.substr(log.size() - 4096), app->Log());
}
