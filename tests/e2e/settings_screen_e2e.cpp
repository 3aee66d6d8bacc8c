// The settings screen ("設定…") and settings files from editors, as a user meets them.
#include "tests/e2e/e2e_common.h"

#include <fstream>
#include <map>

namespace {

// The screen as it is open, and the menu command that opened it.
struct Screen
{
    std::unique_ptr<PendingCommand> command;
    HWND dialog = nullptr;
};

Screen OpenScreen(TavrinSession& app)
{
    Screen screen;
    screen.command = app.Press(IDM_SETTINGS);
    screen.dialog = app.WaitDialogWith(IDC_SET_PORT, 10000);
    return screen;
}

HWND Item(HWND dialog, int id)
{
    return GetDlgItem(dialog, id);
}

void Type(HWND dialog, int id, const std::wstring& text)
{
    SendMessageW(Item(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<std::wstring> Rows(HWND combo)
{
    std::vector<std::wstring> rows;
    const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring text(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
        text.resize(static_cast<size_t>(SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]))));
        rows.push_back(text);
    }
    return rows;
}

// The row of the port field that starts with `port` ("COM3:"), once the ports are listed.
int PortRow(HWND dialog, const std::wstring& port)
{
    int found = -1;
    WaitFor(
        [&] {
            const std::vector<std::wstring> rows = Rows(Item(dialog, IDC_SET_PORT));
            for (size_t i = 0; i < rows.size(); ++i) {
                if (rows[i].compare(0, port.size(), port) == 0 &&
                    (rows[i].size() == port.size() || rows[i][port.size()] == L' ')) {
                    found = static_cast<int>(i);
                }
            }
            return found >= 0;
        },
        10000);
    return found;
}

// Taps soft key `key` (0 left, 1 right) of the bar the screen owns, as the stylus does.
bool TapSoftKey(HWND dialog, int key)
{
    struct Search
    {
        HWND owner;
        HWND bar;
    } search{dialog, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (GetWindow(window, GW_OWNER) == s->owner && ClassOf(window) == L"menu_worker") {
                s->bar = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.bar == nullptr) {
        return false;
    }
    RECT client;
    GetClientRect(search.bar, &client);
    const int x = client.right * (2 * key + 1) / 4;
    return PostMessageW(search.bar, WM_LBUTTONUP, 0, MAKELPARAM(x, client.bottom / 2)) != FALSE;
}

// A key pressed in a control of the screen, through the screen's own keyboard handling.
void PressKey(HWND dialog, int id, WPARAM key)
{
    PostMessageW(Item(dialog, id), WM_KEYDOWN, key, 1);
    PostMessageW(Item(dialog, id), WM_KEYUP, key, 0xC0000001);
}

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

bool Closed(Screen& screen)
{
    return WaitFor([&] { return !IsWindow(screen.dialog); }, 5000) && screen.command->Wait(5000);
}

// Saves through the menu into `path` and gives the file's lines as KEY -> value, each also
// read by the platform's own INI reader.
std::map<std::wstring, std::wstring> SaveAndRead(TavrinSession& app, const std::wstring& path)
{
    DeleteFileW(path.c_str());
    ChooseFile(app, path);
    const auto boxes = app.PressAndAnswer(IDM_SAVE);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    WaitFor([&] { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000);
    const std::wstring text = ReadUtf16(path);
    EXPECT_EQ(L"\xFEFF[tavrin]\r\n", text.substr(0, 11)) << "UTF-16LE with CR LF, as before";
    std::map<std::wstring, std::wstring> keys;
    for (size_t pos = text.find(L"\r\n") + 2; pos < text.size();) {
        const size_t end = text.find(L"\r\n", pos);
        const std::wstring line = text.substr(pos, end - pos);
        const std::wstring key = line.substr(0, line.find(L'='));
        keys.emplace(key, line.substr(key.size() + 1));
        wchar_t platform[1024] = {};
        GetPrivateProfileStringW(L"tavrin", key.c_str(), L"(none)", platform, 1024, path.c_str());
        EXPECT_EQ(keys[key], platform) << Utf8(key);
        pos = end + 2;
    }
    return keys;
}

void WriteBytes(const std::wstring& path, const std::string& bytes)
{
    std::ofstream(path.c_str(), std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::wstring& path)
{
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(SettingsScreen, SetsEveryKeyItShowsAndTheSavedFileReadsBackThroughThePlatform)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    app->SetText(IDC_CONNECT_WAIT, L"1500"); // typed into the window, not yet kept anywhere
    Screen screen = OpenScreen(*app);
    ASSERT_NE(nullptr, screen.dialog);
    HWND dialog = screen.dialog;

    // What the program uses now; a key no file named shows its factory value.
    EXPECT_EQ(0, SendMessageW(Item(dialog, IDC_SET_MODULE), CB_GETCURSEL, 0, 0));
    EXPECT_EQ((std::vector<std::wstring>{L"W-SIM", L"GNSS受信機", L"モデム"}), Rows(Item(dialog, IDC_SET_MODULE)));
    EXPECT_EQ(L"自動", TextOf(Item(dialog, IDC_SET_SPEED)));
    EXPECT_EQ(L"60", TextOf(Item(dialog, IDC_SET_FIXWAIT)));
    EXPECT_EQ(L"1500", TextOf(Item(dialog, IDC_SET_CONNECTWAIT)));
    EXPECT_EQ(BST_UNCHECKED, SendMessageW(Item(dialog, IDC_SET_CACHE), BM_GETCHECK, 0, 0));
    EXPECT_EQ(L"", TextOf(Item(dialog, IDC_SET_SERVICE)) + TextOf(Item(dialog, IDC_SET_GEOLOCATE)));
    // The ports of this machine: the harness maps COM1: and COM3: to the simulator.
    const int com3 = PortRow(dialog, L"COM3:");
    ASSERT_GE(com3, 0) << Utf8(TextOf(Item(dialog, IDC_SET_PORT)));
    ASSERT_GE(PortRow(dialog, L"COM1:"), 0);
    EXPECT_EQ(0u, TextOf(Item(dialog, IDC_SET_PORT)).find(L"COM1:"));

    // Tab goes from field to field.
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(dialog, IDC_SET_FIXWAIT)), TRUE);
    PressKey(dialog, IDC_SET_FIXWAIT, VK_TAB);
    EXPECT_TRUE(WaitFor([&] { return FocusOf(dialog) == Item(dialog, IDC_SET_CONNECTWAIT); }, 3000));

    SendMessageW(Item(dialog, IDC_SET_MODULE), CB_SETCURSEL, 1, 0);
    SendMessageW(Item(dialog, IDC_SET_PORT), CB_SETCURSEL, static_cast<WPARAM>(com3), 0);
    Type(dialog, IDC_SET_SPEED, L"38400");
    Type(dialog, IDC_SET_FIXWAIT, L"120");
    Type(dialog, IDC_SET_CONNECTWAIT, L"250");
    SendMessageW(Item(dialog, IDC_SET_CACHE), BM_SETCHECK, BST_CHECKED, 0);
    Type(dialog, IDC_SET_SERVICE, L"https://lookup.example.jp/loc1/location");
    Type(dialog, IDC_SET_GEOLOCATE, L"https://api.beacondb.net/v1/geolocate");
    ASSERT_TRUE(TapSoftKey(dialog, 0)); // OK
    ASSERT_TRUE(Closed(screen));

    // In use at once, as after "開く".
    EXPECT_EQ(L"250", app->Text(IDC_CONNECT_WAIT));
    EXPECT_NE(std::wstring::npos, app->Log().find(L"位置を GNSS受信機（COM3:）から取得します。")) << Utf8(app->Log());
    EXPECT_FALSE(IsWindowEnabled(app->Control(IDC_LOCATE_EASY)));

    auto saved = SaveAndRead(*app, app->Folder() + L"\\saved.ini");
    const std::map<std::wstring, std::wstring> set = {
        {L"SERVICEURL", L"https://lookup.example.jp/loc1/location"},
        {L"PORT", L"COM3:"},
        {L"LOOKUPCACHE", L"TRUE"},
        {L"MODULE", L"NMEA"},
        {L"BAUD", L"38400"},
        {L"FIXWAIT", L"120"},
        {L"GEOLOCATEURL", L"https://api.beacondb.net/v1/geolocate"},
        {L"CONNECTWAIT", L"250"},
    };
    for (const auto& [key, value] : set) {
        EXPECT_EQ(value, saved[key]) << Utf8(key);
    }
    EXPECT_EQ(L"テスト地図;http://map.example.test/show;pos=N$nlE$el", saved.at(L"URL0")); // the rest as it was

    // Opened again, the screen shows what it kept; another port alone is said in the log too.
    screen = OpenScreen(*app);
    ASSERT_NE(nullptr, screen.dialog);
    EXPECT_EQ(1, SendMessageW(Item(screen.dialog, IDC_SET_MODULE), CB_GETCURSEL, 0, 0));
    EXPECT_EQ(L"38400", TextOf(Item(screen.dialog, IDC_SET_SPEED)));
    EXPECT_EQ(L"120", TextOf(Item(screen.dialog, IDC_SET_FIXWAIT)));
    EXPECT_EQ(BST_CHECKED, SendMessageW(Item(screen.dialog, IDC_SET_CACHE), BM_GETCHECK, 0, 0));
    EXPECT_EQ(0u, TextOf(Item(screen.dialog, IDC_SET_PORT)).find(L"COM3:"));
    Type(screen.dialog, IDC_SET_PORT, L"COM8:"); // not plugged in now
    PressKey(screen.dialog, IDC_SET_FIXWAIT, VK_RETURN);
    ASSERT_TRUE(Closed(screen));
    EXPECT_NE(std::wstring::npos, app->Log().find(L"位置を GNSS受信機（COM8:）から取得します。")) << Utf8(app->Log());
    screen = OpenScreen(*app);
    ASSERT_NE(nullptr, screen.dialog);
    EXPECT_EQ(L"COM8:", TextOf(Item(screen.dialog, IDC_SET_PORT)));
    PressKey(screen.dialog, IDC_SET_FIXWAIT, VK_ESCAPE);
    EXPECT_TRUE(Closed(screen));
}

TEST(SettingsScreen, CancelChangesNothingAndOkUnchangedNamesNoKey)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    const auto before = SaveAndRead(*app, app->Folder() + L"\\before.ini");
    const std::wstring log = app->Log();

    // Every field changed, then キャンセル: by its soft key, and by Esc.
    for (int way = 0; way < 2; ++way) {
        Screen screen = OpenScreen(*app);
        ASSERT_NE(nullptr, screen.dialog);
        SendMessageW(Item(screen.dialog, IDC_SET_MODULE), CB_SETCURSEL, 2, 0);
        Type(screen.dialog, IDC_SET_PORT, L"COM7:");
        Type(screen.dialog, IDC_SET_SPEED, L"9600");
        Type(screen.dialog, IDC_SET_FIXWAIT, L"30");
        Type(screen.dialog, IDC_SET_CONNECTWAIT, L"999");
        SendMessageW(Item(screen.dialog, IDC_SET_CACHE), BM_SETCHECK, BST_CHECKED, 0);
        Type(screen.dialog, IDC_SET_SERVICE, L"https://lookup.example.jp/loc1/location");
        Type(screen.dialog, IDC_SET_GEOLOCATE, L"https://api.beacondb.net/v1/geolocate");
        if (way == 0) {
            ASSERT_TRUE(TapSoftKey(screen.dialog, 1));
        } else {
            PressKey(screen.dialog, IDC_SET_SERVICE, VK_ESCAPE);
        }
        ASSERT_TRUE(Closed(screen)) << way;
    }
    EXPECT_EQ(L"0", app->Text(IDC_CONNECT_WAIT));
    EXPECT_EQ(log, app->Log());
    EXPECT_EQ(before, SaveAndRead(*app, app->Folder() + L"\\cancelled.ini"));

    // OK with nothing changed (Enter): no key is added to the file.
    Screen screen = OpenScreen(*app);
    ASSERT_NE(nullptr, screen.dialog);
    ASSERT_GE(PortRow(screen.dialog, L"COM1:"), 0); // the ports came while the screen was open
    PressKey(screen.dialog, IDC_SET_FIXWAIT, VK_RETURN);
    ASSERT_TRUE(Closed(screen));
    EXPECT_EQ(before, SaveAndRead(*app, app->Folder() + L"\\unchanged.ini"));
}

TEST(SettingsScreen, BadValueIsRefusedWithItsReasonAndNothingIsKept)
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"SERVICEURL", L"htps://lookup.example.jp/loc1/location"); // as a hand-edited file may have it
    auto app = StartSession(settings);
    ASSERT_TRUE(app);
    const auto before = SaveAndRead(*app, app->Folder() + L"\\before.ini");
    Screen screen = OpenScreen(*app);
    ASSERT_NE(nullptr, screen.dialog);
    EXPECT_EQ(L"htps://lookup.example.jp/loc1/location", TextOf(Item(screen.dialog, IDC_SET_SERVICE)));
    SendMessageW(Item(screen.dialog, IDC_SET_MODULE), CB_SETCURSEL, 1, 0);

    const struct
    {
        int field;
        std::wstring value, reason, good;
    } rows[] = {
        {IDC_SET_SPEED, L"fast", L"速度は「自動」か、300～921600 の数字で入力してください。", L"38400"},
        {IDC_SET_FIXWAIT, L"0", L"測位の待ち時間は、1～3600 の秒数を数字で入力してください。", L"30"},
        {IDC_SET_SERVICE, L"htps://lookup.example.jp/loc1/location",
         L"位置検索サービス（W-SIM）の URL が正しくありません。http:// か https:// "
         L"で始まり、ホスト名のある、空白を含まない "
         L"255 文字までの URL を入力してください。空欄のときは組み込みのサービスを使います。",
         L""},
    };
    for (const auto& row : rows) {
        Type(screen.dialog, row.field, row.value);
        TavrinSession::Click(screen.dialog, IDOK);
        MessageBoxSeen box;
        ASSERT_TRUE(app->WaitMessageBox(box, 5000)) << Utf8(row.value);
        EXPECT_EQ(row.reason, box.text);
        EXPECT_EQ(L"警告", box.caption);
        EXPECT_EQ(screen.dialog, box.owner);
        TavrinSession::Answer(box.box, IDOK);
        // The screen stays, the field in question to be typed over.
        HWND field = Item(screen.dialog, row.field);
        EXPECT_TRUE(IsWindowVisible(screen.dialog));
        EXPECT_TRUE(
            WaitFor([&] { return FocusOf(screen.dialog) == field || IsChild(field, FocusOf(screen.dialog)); }, 3000))
            << Utf8(row.value);
        Type(screen.dialog, row.field, row.good);
    }
    TavrinSession::Click(screen.dialog, IDCANCEL);
    ASSERT_TRUE(Closed(screen));
    EXPECT_EQ(before, SaveAndRead(*app, app->Folder() + L"\\after.ini")); // nothing was kept
}

TEST(EditorsFiles, Utf8FileOpensWithItsSettings)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    // As today's Notepad saves it: UTF-8, LF, no line end after the last line.
    const std::wstring path = app->Folder() + L"\\notepad.ini";
    WriteBytes(path, "\xEF\xBB\xBF[tavrin]\nURLINDEX=1\nURL0=\xE5\x9C\xB0\xE5\x9B\xB3" // 地図
                     "A;http://a.example.test/m;q=$nl\nURL1=\xE5\x9C\xB0\xE5\x9B\xB3"
                     "B;http://b.example.test/m;q=$el\nAUTOBROWSER=TRUE\nMODULE=NMEA\nPORT=COM3:");
    ChooseFile(*app, path);
    auto boxes = app->PressAndAnswer(IDM_OPEN);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ((std::vector<std::wstring>{L"地図A", L"地図B"}), app->ComboItems(IDC_URL_COMBO));
    EXPECT_EQ(1, app->ComboSelection(IDC_URL_COMBO));
    EXPECT_NE(std::wstring::npos, app->Log().find(L"位置を GNSS受信機（COM3:）から取得します。"));
    // "保存" writes the program's own form; the editor's file stays as it was.
    const auto saved = SaveAndRead(*app, app->Folder() + L"\\saved.ini");
    EXPECT_EQ(L"地図B;http://b.example.test/m;q=$el", saved.at(L"URL1"));
    EXPECT_EQ(L"COM3:", saved.at(L"PORT"));
}

TEST(EditorsFiles, FileThatIsNoSettingsFileIsRefusedAndTheSettingsStay)
{
    auto app = StartSession();
    ASSERT_TRUE(app);
    const std::vector<std::wstring> urls = app->ComboItems(IDC_URL_COMBO);
    const struct
    {
        const wchar_t* name;
        std::string bytes;
        std::wstring reason;
    } files[] = {
        {L"photo.ini", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), L"テキストのファイルではありません。"},
        {L"sjis.ini", "[tavrin]\r\nURL0=\x92\x6E\x90\x7D;http://a.example.test/;q\r\n",
         L"文字コードが分かりません（UTF-8 か UTF-16 で保存してください）。"},
        {L"other.ini", "[Settings]\nURL0=x;http://a.example.test/;q\n",
         L"設定ファイルではありません（[tavrin] の行がありません）。"},
    };
    for (const auto& file : files) {
        const std::wstring path = app->Folder() + L"\\" + file.name;
        WriteBytes(path, file.bytes);
        ChooseFile(*app, path);
        const auto boxes = app->PressAndAnswer(IDM_OPEN);
        ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
        EXPECT_EQ(L"設定ファイルを読み込めませんでした。\n" + path + L"\n" + file.reason, boxes[0].text);
        EXPECT_EQ(L"Error", boxes[0].caption);
        EXPECT_EQ(urls, app->ComboItems(IDC_URL_COMBO));
        EXPECT_EQ(file.bytes, ReadBytes(path));
    }
    // "保存" offers the file in use, not the refused one (the chooser's request, cancelled).
    ChooseFile(*app, L"");
    app->PressAndAnswer(IDM_SAVE);
    std::ifstream log((app->Folder() + L"\\gsgetfile.log").c_str(), std::ios::binary);
    const std::string requests((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    const std::wstring text(reinterpret_cast<const wchar_t*>(requests.data()), requests.size() / sizeof(wchar_t));
    const size_t last = text.rfind(L"call=save");
    ASSERT_NE(std::wstring::npos, last);
    EXPECT_NE(std::wstring::npos, text.find(L"\nfile=default.ini\n", last)) << Utf8(text.substr(last));
}

TEST(EditorsFiles, DefaultIniOfAnotherProgramIsSaidAtStartAndLeftAlone)
{
    auto app = std::make_unique<TavrinSession>(L"EditorsFiles_ForeignDefault");
    ResetStandIns();
    const std::string foreign = "[Settings]\r\nAUTOBROWSER=TRUE\r\n";
    WriteBytes(app->SettingsPath(), foreign);
    ASSERT_TRUE(app->Start());
    MessageBoxSeen seen;
    ASSERT_TRUE(app->WaitMessageBox(seen, 5000));
    EXPECT_EQ(L"設定ファイルを読み込めませんでした。\n" + app->SettingsPath() +
                  L"\n設定ファイルではありません（[tavrin] の行がありません）。",
              seen.text);
    TavrinSession::Answer(seen.box, IDOK);
    EXPECT_EQ(5u, app->ComboItems(IDC_URL_COMBO).size()); // the factory settings are in use
    app->Stop();
    EXPECT_EQ(foreign, ReadBytes(app->SettingsPath()));
}
