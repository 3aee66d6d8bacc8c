// The "編集" buttons: the list editor on the URL and browser lists, and what OK and cancel leave.
#include "tests/e2e/e2e_common.h"

#include <fstream>

namespace {

constexpr int kList = 1022;

struct Editor
{
    std::unique_ptr<PendingCommand> command;
    HWND dialog = nullptr;
    HWND list = nullptr;
};

Editor OpenEditor(TavrinSession& app, int button)
{
    Editor editor;
    editor.command = app.Press(button);
    editor.dialog = app.WaitDialogWith(kList, 10000);
    if (editor.dialog != nullptr) {
        editor.list = GetDlgItem(editor.dialog, kList);
    }
    return editor;
}

void Type(HWND dialog, int id, const std::wstring& text)
{
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void Fill(HWND dialog, const std::wstring& title, const std::wstring& url, const std::wstring& format)
{
    Type(dialog, IDC_LIST_FIELD0, title);
    Type(dialog, IDC_LIST_FIELD1, url);
    Type(dialog, IDC_LIST_FIELD2, format);
}

bool Close(Editor& editor, int button)
{
    return TavrinSession::Answer(editor.dialog, button) && editor.command->Wait(5000);
}

const std::vector<std::wstring> kTitles = {L"テスト地図", L"度分秒", L"スラッシュ", L"URLなし"};

} // namespace

TEST(ListEditing, AddedEntryAppearsAfterOkAndIsSentTo)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    Editor editor = OpenEditor(*app, IDC_URL_EDIT);
    ASSERT_NE(nullptr, editor.dialog);
    ASSERT_EQ(4, app->ListCount(editor.list));
    EXPECT_EQ(L"度分秒", app->ListText(editor.list, 1, 0));
    EXPECT_EQ(L"http://map.example.test/pl", app->ListText(editor.list, 1, 1));

    Fill(editor.dialog, L"新しい地図", L"http://new.example.test/m", L"q=$nl,$el");
    TavrinSession::Click(editor.dialog, IDC_LIST_ADD);
    ASSERT_TRUE(WaitFor([&] { return app->ListCount(editor.list) == 5; }, 5000));
    EXPECT_EQ(L"q=$nl,$el", app->ListText(editor.list, 4, 2));
    ASSERT_TRUE(Close(editor, IDOK));

    std::vector<std::wstring> titles = kTitles;
    titles.push_back(L"新しい地図");
    EXPECT_EQ(titles, app->ComboItems(IDC_URL_COMBO));
    EXPECT_EQ(4, app->ComboSelection(IDC_URL_COMBO)); // the added entry was selected in the editor

    auto boxes = app->PressAndAnswer(IDC_GET_AND_SEND);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
    EXPECT_EQ(L"http://new.example.test/m?q=35.41.12.000,139.45.00.000", app->BrowserCalls()[0]);
}

TEST(ListEditing, CancelLeavesTheListsAsTheyWere)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    app->SelectCombo(IDC_URL_COMBO, 2);
    Editor editor = OpenEditor(*app, IDC_URL_EDIT);
    ASSERT_NE(nullptr, editor.dialog);
    Fill(editor.dialog, L"捨てる", L"http://drop.example.test/", L"");
    TavrinSession::Click(editor.dialog, IDC_LIST_ADD);
    ASSERT_TRUE(WaitFor([&] { return app->ListCount(editor.list) == 5; }, 5000));
    ASSERT_TRUE(Close(editor, IDCANCEL));
    EXPECT_EQ(kTitles, app->ComboItems(IDC_URL_COMBO));
    EXPECT_EQ(2, app->ComboSelection(IDC_URL_COMBO));

    Editor browsers = OpenEditor(*app, IDC_BROWSER_EDIT);
    ASSERT_NE(nullptr, browsers.dialog);
    ASSERT_EQ(2, app->ListCount(browsers.list));
    app->ListSelect(browsers.list, 0);
    TavrinSession::Click(browsers.dialog, IDC_LIST_DELETE);
    ASSERT_TRUE(WaitFor([&] { return app->ListCount(browsers.list) == 1; }, 5000));
    ASSERT_TRUE(Close(browsers, IDCANCEL));
    EXPECT_EQ((std::vector<std::wstring>{L"テストブラウザ", L"パスなし"}), app->ComboItems(IDC_BROWSER_COMBO));
}

TEST(ListEditing, SemicolonIsRefusedWithTheWarning)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    Editor editor = OpenEditor(*app, IDC_URL_EDIT);
    ASSERT_NE(nullptr, editor.dialog);
    Fill(editor.dialog, L"区切り", L"http://x.example.test/a;b", L"");
    TavrinSession::Click(editor.dialog, IDC_LIST_ADD);
    MessageBoxSeen box;
    ASSERT_TRUE(app->WaitMessageBox(box, 5000));
    EXPECT_EQ(L"; は区切り文字として使用するので利用できません。", box.text);
    EXPECT_EQ(L"警告", box.caption);
    EXPECT_EQ(editor.dialog, box.owner);
    ASSERT_TRUE(TavrinSession::Answer(box.box, IDOK));
    EXPECT_EQ(4, app->ListCount(editor.list));
    ASSERT_TRUE(Close(editor, IDOK));
    EXPECT_EQ(kTitles, app->ComboItems(IDC_URL_COMBO));
}

TEST(ListEditing, MovedAndReplacedEntriesKeepTheirOrderAfterOk)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    Editor editor = OpenEditor(*app, IDC_URL_EDIT);
    ASSERT_NE(nullptr, editor.dialog);
    app->ListSelect(editor.list, 3);
    TavrinSession::Click(editor.dialog, IDC_LIST_UP);
    ASSERT_TRUE(WaitFor([&] { return app->ListText(editor.list, 2, 0) == L"URLなし"; }, 5000));
    Fill(editor.dialog, L"置換", L"http://r.example.test/", L"p=$nml");
    TavrinSession::Click(editor.dialog, IDC_LIST_REPLACE); // the moved entry, now at 2
    ASSERT_TRUE(WaitFor([&] { return app->ListText(editor.list, 2, 0) == L"置換"; }, 5000));
    ASSERT_TRUE(Close(editor, IDOK));
    EXPECT_EQ((std::vector<std::wstring>{L"テスト地図", L"度分秒", L"置換", L"スラッシュ"}),
              app->ComboItems(IDC_URL_COMBO));
    EXPECT_EQ(2, app->ComboSelection(IDC_URL_COMBO));
}

TEST(ListEditing, SavedSettingsFileKeepsTheEditAtTheNextStart)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    // The chooser library beside the program answers the save request with saved.ini.
    const std::wstring saved = app->Folder() + L"\\saved.ini";
    ASSERT_TRUE(CopyFileW(BuildPath(L"tests\\windows\\chooser\\gsgetfile.dll").c_str(),
                          (app->Folder() + L"\\gsgetfile.dll").c_str(), FALSE));
    {
        std::ofstream answer((app->Folder() + L"\\gsgetfile.answer").c_str(), std::ios::binary);
        answer.write(reinterpret_cast<const char*>(saved.data()), saved.size() * sizeof(wchar_t));
    }

    Editor urls = OpenEditor(*app, IDC_URL_EDIT);
    ASSERT_NE(nullptr, urls.dialog);
    app->ListSelect(urls.list, 0);
    TavrinSession::Click(urls.dialog, IDC_LIST_DELETE);
    ASSERT_TRUE(WaitFor([&] { return app->ListCount(urls.list) == 3; }, 5000));
    ASSERT_TRUE(Close(urls, IDOK));

    Editor browsers = OpenEditor(*app, IDC_BROWSER_EDIT);
    ASSERT_NE(nullptr, browsers.dialog);
    Type(browsers.dialog, IDC_LIST_FIELD0, L"追加ブラウザ");
    Type(browsers.dialog, IDC_LIST_FIELD1, L"C:\\Program Files\\x\\x.exe");
    TavrinSession::Click(browsers.dialog, IDC_LIST_ADD);
    ASSERT_TRUE(WaitFor([&] { return app->ListCount(browsers.list) == 3; }, 5000));
    ASSERT_TRUE(Close(browsers, IDOK));

    const std::vector<std::wstring> urlTitles = {L"度分秒", L"スラッシュ", L"URLなし"};
    const std::vector<std::wstring> browserNames = {L"テストブラウザ", L"パスなし", L"追加ブラウザ"};
    EXPECT_EQ(urlTitles, app->ComboItems(IDC_URL_COMBO));
    EXPECT_EQ(browserNames, app->ComboItems(IDC_BROWSER_COMBO));

    ASSERT_TRUE(app->Press(IDM_SAVE)->Wait(10000));
    ASSERT_TRUE(WaitFor([&] { return GetFileAttributesW(saved.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000));
    app->Stop();

    ASSERT_TRUE(CopyFileW(saved.c_str(), app->SettingsPath().c_str(), FALSE));
    ASSERT_TRUE(app->Start());
    EXPECT_EQ(urlTitles, app->ComboItems(IDC_URL_COMBO));
    EXPECT_EQ(browserNames, app->ComboItems(IDC_BROWSER_COMBO));
    EXPECT_EQ(2, app->ComboSelection(IDC_BROWSER_COMBO)); // the added entry was selected
}

TEST(ListEditing, OkWithoutSelectionKeepsAnIndexThatNoLongerFits)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
    app->SelectCombo(IDC_URL_COMBO, 3);
    Editor editor = OpenEditor(*app, IDC_URL_EDIT);
    ASSERT_NE(nullptr, editor.dialog);
    app->ListSelect(editor.list, 3);
    TavrinSession::Click(editor.dialog, IDC_LIST_DELETE);
    ASSERT_TRUE(WaitFor([&] { return app->ListCount(editor.list) == 3; }, 5000));
    app->ListSelect(editor.list, 2);
    TavrinSession::Click(editor.dialog, IDC_LIST_DELETE);
    ASSERT_TRUE(WaitFor([&] { return app->ListCount(editor.list) == 2; }, 5000));
    app->ListSelect(editor.list, -1, false);
    ASSERT_TRUE(Close(editor, IDOK));

    EXPECT_EQ((std::vector<std::wstring>{L"テスト地図", L"度分秒"}), app->ComboItems(IDC_URL_COMBO));
    EXPECT_EQ(-1, app->ComboSelection(IDC_URL_COMBO));
    auto boxes = app->PressAndAnswer(IDC_SEND);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"送信先のURLを指定してください。", boxes[0].text);
}
