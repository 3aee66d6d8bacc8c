// Repeat places without a connection: the lookup cache, on and off, as the user drives it.
#include "tests/e2e/e2e_common.h"
#include "tests/windows/test_support.h"

#include <cstdint>
#include <ctime>
#include <set>

namespace {

const std::wstring kCached = std::wstring(kDefaultPosition) + L"（キャッシュ）";

std::wstring CacheFile(const TavrinSession& app)
{
    return app.Folder() + L"\\cache.ini";
}

// A cache file as the program writes it, with one entry.
void WriteCache(const TavrinSession& app, const std::wstring& csid, const std::wstring& position, int64_t lookedUp)
{
    WriteUtf16(CacheFile(app), L"\xFEFF[cache]\r\n" + csid + L"=" + std::to_wstring(lookedUp) + L";" + position + L";" +
                                   csid + L"\r\n");
}

// Presses a button and answers its boxes, noting the caption of every progress dialog that
// came up meanwhile (acquisition, waiting, connecting).
std::set<std::wstring> PressNoting(TavrinSession& app, int id, std::vector<MessageBoxSeen>& boxes)
{
    std::set<std::wstring> captions;
    auto command = app.Press(id);
    const DWORD start = GetTickCount();
    while (!command->Done() && GetTickCount() - start < 30000) {
        for (HWND dialog : app.Dialogs()) {
            if (GetDlgItem(dialog, IDC_PROGRESS_TEXT) != nullptr) {
                captions.insert(TextOf(dialog));
            }
        }
        MessageBoxSeen seen;
        if (app.WaitMessageBox(seen, 20)) {
            boxes.push_back(seen);
            TavrinSession::Answer(seen.box, seen.yes ? IDYES : IDOK);
        }
    }
    EXPECT_TRUE(command->Done());
    return captions;
}

SettingsFile CacheSettings()
{
    SettingsFile settings = TavrinSession::TestSettings();
    settings.Set(L"LOOKUPCACHE", L"TRUE");
    return settings;
}

} // namespace

TEST(LookupCache, ASecondSendAtTheSamePlaceNeedsNoLineNoWaitAndNoLookup)
{
    SettingsFile settings = CacheSettings();
    settings.Set(L"AUTOCONNECT", L"TRUE");
    settings.Set(L"CONNECTWAIT", L"1500");
    // The line is down; it comes up once (after 0.6 s), and any later attempt would fail.
    auto app = StartWithDevice("test = 0x20\nconnect = 0x10@600 ; fail\ndialup_follows = yes\n", settings);
    ASSERT_TRUE(app);
    const size_t asked = LookupRequestCount();
    std::vector<MessageBoxSeen> boxes;
    std::set<std::wstring> captions = PressNoting(*app, IDC_GET_AND_SEND, boxes);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ(1u, captions.count(L"待機中…"));
    EXPECT_EQ(1u, captions.count(L"接続中…"));
    ASSERT_TRUE(app->WaitBrowserCalls(1, 10000));
    EXPECT_EQ(asked + 1, LookupRequestCount());

    // The line goes down again ("切断"), and the same place is sent once more.
    ASSERT_TRUE(CaptionBecomes(*app, L"切断"));
    EXPECT_TRUE(app->PressAndAnswer(IDC_CONNECT).empty());
    ASSERT_TRUE(CaptionBecomes(*app, L"接続"));
    captions = PressNoting(*app, IDC_GET_AND_SEND, boxes);
    EXPECT_TRUE(boxes.empty()) << Shown(boxes);
    EXPECT_EQ(0u, captions.count(L"待機中…"));
    EXPECT_EQ(0u, captions.count(L"接続中…"));
    EXPECT_EQ(asked + 1, LookupRequestCount());
    ASSERT_TRUE(app->WaitBrowserCalls(2, 10000));
    EXPECT_EQ(app->BrowserCalls()[0], app->BrowserCalls()[1]);
    const std::wstring line = std::wstring(kDefaultCsId) + L"\r\n";
    EXPECT_EQ(line + kDefaultPosition + L"\r\n" + line + kCached + L"\r\n", app->Log());
}

TEST(LookupCache, StationsInAnotherOrderHitAndAnOldEntryIsLookedUpAgain)
{
    auto app = StartSession(CacheSettings());
    ASSERT_TRUE(app);
    const size_t asked = LookupRequestCount();
    ASSERT_TRUE(WsimConfigure(R"({"stations": ["12,3", "45,6"]})"));
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_AND_SEND).empty());
    ASSERT_TRUE(WsimConfigure(R"({"stations": ["45,6", "12,3"]})"));
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_AND_SEND).empty());
    EXPECT_EQ(asked + 1, LookupRequestCount());
    ASSERT_TRUE(app->WaitBrowserCalls(2, 10000));
    EXPECT_EQ(app->BrowserCalls()[0], app->BrowserCalls()[1]);

    // Written 31 days ago, with another position: asked again, and replaced by the answer.
    WsimReset();
    WriteCache(*app, kDefaultCsId, L"N1.2.3.000E4.5.6.000", std::time(nullptr) - 31 * 86400);
    app->Stop();
    ASSERT_TRUE(app->Start());
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_AND_SEND).empty());
    EXPECT_EQ(asked + 2, LookupRequestCount());
    EXPECT_EQ(std::wstring(kDefaultCsId) + L"\r\n" + kDefaultPosition + L"\r\n", app->Log());
    // Written beside the window, soon after the send.
    std::wstring file;
    EXPECT_TRUE(WaitFor(
        [&] {
            file = ReadUtf16(CacheFile(*app));
            return file.find(std::wstring(L";") + kDefaultPosition + L";" + kDefaultCsId) != std::wstring::npos;
        },
        5000))
        << Utf8(file);
    EXPECT_EQ(std::wstring::npos, file.find(L"N1.2.3.000E4.5.6.000")) << Utf8(file);
}

TEST(LookupCache, OffItReadsAndWritesNothingAndTheMenuTurnsItOnAndClearsIt)
{
    auto app = StartSession(); // a settings file without LOOKUPCACHE
    ASSERT_TRUE(app);
    const size_t asked = LookupRequestCount();
    WriteCache(*app, kDefaultCsId, kDefaultPosition, std::time(nullptr));
    const std::wstring before = ReadUtf16(CacheFile(*app));
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_AND_SEND).empty());
    EXPECT_EQ(asked + 1, LookupRequestCount());
    EXPECT_EQ(before, ReadUtf16(CacheFile(*app)));

    app->Press(IDM_CACHE_USE)->Wait(5000);
    ASSERT_TRUE(app->PressAndAnswer(IDC_SEND).empty());
    EXPECT_EQ(asked + 1, LookupRequestCount()); // the entry written by hand
    EXPECT_NE(std::wstring::npos, app->Log().find(kCached));

    std::vector<MessageBoxSeen> boxes = app->PressAndAnswer(IDM_CACHE_CLEAR, IDYES);
    ASSERT_EQ(1u, boxes.size()) << Shown(boxes);
    EXPECT_EQ(L"キャッシュを消去しますか？", boxes[0].text);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(CacheFile(*app).c_str()));
    ASSERT_TRUE(app->PressAndAnswer(IDC_SEND).empty());
    EXPECT_EQ(asked + 2, LookupRequestCount());
}

TEST(LookupCache, TurnedOnAfterAnAcquisitionItIsReadBesideTheWindow)
{
    // A storage card that takes 2 s to read the file; the cache is off during the acquisition,
    // so nothing reads it before the send.
    auto app = StartWithDevice("storage_read = 2000\n");
    ASSERT_TRUE(app);
    WriteCache(*app, kDefaultCsId, kDefaultPosition, std::time(nullptr));
    ASSERT_TRUE(app->PressAndAnswer(IDC_GET_LOCATION).empty());
    app->Press(IDM_CACHE_USE)->Wait(5000);
    const size_t asked = LookupRequestCount();
    auto command = app->Press(IDC_SEND);
    Sleep(700); // the read is under way
    DWORD_PTR result = 0;
    EXPECT_NE(0, SendMessageTimeoutW(app->MainWindow(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &result))
        << "the window did not answer while the cache was read";
    EXPECT_TRUE(command->Wait(10000));
    EXPECT_EQ(asked, LookupRequestCount()); // the entry of the file, read in time
    EXPECT_NE(std::wstring::npos, app->Log().find(kCached)) << Utf8(app->Log());
}
