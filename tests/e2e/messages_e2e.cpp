// The messages of the main window's commands, each in its situation, and what survives.
#include "tests/e2e/e2e_common.h"
#include "tests/windows/test_support.h"

namespace {

void ExpectWarning(const MessageBoxSeen& box, HWND owner, const wchar_t* text)
{
    EXPECT_EQ(text, box.text);
    EXPECT_EQ(L"警告", box.caption);
    EXPECT_TRUE(box.ok);
    EXPECT_FALSE(box.yes);
    EXPECT_TRUE(box.icon);
    EXPECT_EQ(owner, box.owner);
}

} // namespace

TEST(CommandMessages, SendAsksForTheValueOfTheModeInForce)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    const HWND main = app->MainWindow();

    auto boxes = app->PressAndAnswer(IDC_SEND);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    ExpectWarning(boxes[0], main, L"CS-IDを取得してください。");

    app->SetChecked(IDC_LOCATE_EASY, true);
    boxes = app->PressAndAnswer(IDC_SEND);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    ExpectWarning(boxes[0], main, L"簡易座標を取得してください。");

    // A CS-ID does not stand in for simple coordinates.
    app->SetChecked(IDC_LOCATE_EASY, false);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
    app->SetChecked(IDC_LOCATE_EASY, true);
    boxes = app->PressAndAnswer(IDC_SEND);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    ExpectWarning(boxes[0], main, L"簡易座標を取得してください。");
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n", app->Log());
    EXPECT_FALSE(app->WaitBrowserCalls(1, 500));
}

TEST(CommandMessages, SendWithoutDestinationUrlWarns)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
    const size_t lookupsBefore = LookupRequestCount();

    app->SelectCombo(IDC_URL_COMBO, 3); // an entry whose URL is empty
    auto boxes = app->PressAndAnswer(IDC_SEND);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    ExpectWarning(boxes[0], app->MainWindow(), L"送信先のURLを指定してください。");

    app->SelectCombo(IDC_URL_COMBO, -1); // nothing selected
    boxes = app->PressAndAnswer(IDC_SEND);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    ExpectWarning(boxes[0], app->MainWindow(), L"送信先のURLを指定してください。");

    EXPECT_EQ(lookupsBefore, LookupRequestCount());
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n", app->Log());
}

TEST(CommandMessages, FailedLookupEndsWithItsErrorAndLogsNothing)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());

    struct Case
    {
        const char* config;
        const char* why;
    };
    const Case cases[] = {
        {R"({"mode": "no_location"})", "answer without Location"},
        {R"({"table": {"1234/5": null}, "mode": "normal"})", "unknown CS-ID"},
        {R"({"mode": "close"})", "connection closed"},
    };
    for (const Case& c : cases) {
        Lookup().Configure(c.config);
        auto boxes = app->PressAndAnswer(IDC_SEND);
        ASSERT_FALSE(boxes.empty()) << c.why;
        const MessageBoxSeen& last = boxes.back();
        EXPECT_EQ(L"位置情報の取得に失敗しました。", last.text) << c.why << "\n" << Shown(boxes);
        EXPECT_EQ(L"Error", last.caption) << c.why;
        EXPECT_TRUE(last.ok && last.icon) << c.why;
        EXPECT_EQ(app->MainWindow(), last.owner) << c.why;
        for (size_t i = 0; i + 1 < boxes.size(); ++i) {
            EXPECT_EQ(L"Error", boxes[i].caption) << c.why; // the lookup's own report
        }
    }
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n", app->Log());
    EXPECT_FALSE(app->WaitBrowserCalls(1, 500));
}

TEST(CommandMessages, FailedOrCancelledAcquisitionKeepsTheLastValue)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());

    // The module never finishes its answer: the user gives up.
    ASSERT_TRUE(WsimConfigure(R"({"silent": true})"));
    auto command = app->Press(IDC_GET_LOCATION);
    HWND progress = app->WaitDialogWith(1015, 10000);
    ASSERT_NE(nullptr, progress);
    EXPECT_TRUE(TavrinSession::Answer(progress, IDCANCEL));
    EXPECT_TRUE(command->Wait(5000));

    // An answer of a kind the program does not expect.
    ASSERT_TRUE(WsimConfigure(R"({"stations": ["12,3", "45,6"], "raw": {"AT@K20": "AT@LBC2\r\r\n\r\nOK\r\n"}})"));
    auto boxes = app->PressAndAnswer(IDC_GET_LOCATION);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"不明なデータを取得しました", boxes[0].text);
    EXPECT_EQ(L"確認", boxes[0].caption);
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n", app->Log());

    // The send still has the first value.
    ASSERT_TRUE(WsimReset());
    ASSERT_TRUE(app->PressAndAnswer(IDC_SEND).empty());
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n" + kDefaultPosition + L"\r\n", app->Log());
    ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
    EXPECT_EQ(std::wstring(L"http://map.example.test/show?pos=") + kDefaultPosition, app->BrowserCalls()[0]);
}

TEST(CommandMessages, ASaveThatFailsIsSaidAndNothingElseChanges)
{
    auto app = StartSession();
    ASSERT_TRUE(app);

    // "保存" onto a read-only file: the file and the reason are named, and the file stays.
    const std::wstring target = app->Folder() + L"\\readonly.ini";
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(SettingsFile().Write(target));
    const std::wstring before = ReadUtf16(target);
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    CopyFileW(BuildPath(L"tests\\windows\\chooser\\gsgetfile.dll").c_str(),
              (app->Folder() + L"\\gsgetfile.dll").c_str(), FALSE);
    WriteUtf16(app->Folder() + L"\\gsgetfile.answer", target);
    auto boxes = app->PressAndAnswer(IDM_SAVE);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"設定ファイルを保存できませんでした。\n" + target +
                  L"\nファイルにアクセスできません（読み取り専用か、使用中か、権限がありません）。",
              boxes[0].text);
    EXPECT_EQ(L"Error", boxes[0].caption);
    EXPECT_EQ(app->MainWindow(), boxes[0].owner);
    EXPECT_EQ(before, ReadUtf16(target));
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}
